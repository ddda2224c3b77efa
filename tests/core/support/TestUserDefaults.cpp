// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/UserDefaults.h"
#include "support/TestMain.h"

#include <QFile>
#include <QProcess>

using namespace Qt::StringLiterals;

class TestUserDefaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    // The window and the headless agent share one file: each must see what the other wrote,
    // and a value set again unchanged must cost no write of the whole file.
    void writesOnlyChangesAndSeesAnotherProcesssWrites()
    {
        UserDefaults::setValue(u"ours"_s, u"1"_s);
        UserDefaults::flush();
        const quint64 writes = UserDefaults::writesToDisk();
        UserDefaults::setValue(u"ours"_s, u"1"_s);
        UserDefaults::remove(u"never set"_s);
        UserDefaults::flush();
        QCOMPARE(UserDefaults::writesToDisk(), writes);

        const QString file = UserDefaults::fileName();
        QCOMPARE(QProcess::execute(u"sh"_s, {u"-c"_s,
                                             u"cp \"$0\" \"$0.new\" && "
                                             "printf 'theirs=2\\n' >> \"$0.new\" && "
                                             "mv \"$0.new\" \"$0\""_s,
                                             file}),
                 0);
        QCOMPARE(UserDefaults::value(u"theirs"_s).toString(), u"2"_s);

        UserDefaults::setValue(u"ours"_s, u"3"_s);
        UserDefaults::flush();
        QCOMPARE(UserDefaults::writesToDisk(), writes + 1);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QVERIFY2(text.contains("ours=3") && text.contains("theirs=2"), text.constData());
    }
};

SPRUCER_TEST_MAIN(TestUserDefaults)
#include "TestUserDefaults.moc"
