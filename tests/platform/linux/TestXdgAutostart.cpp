// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/Console.h"
#include "platform/Platform.h"
#include "platform/linux/XdgAutostart.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// What a desktop-entry reader makes of a string key: the escapes undone.
QString stringValue(const QByteArray &entry, const QByteArray &key)
{
    QString value;
    for (const QByteArray &line : entry.split('\n')) {
        if (line.startsWith(QByteArray(key + '=')))
            value = QString::fromUtf8(line.mid(key.size() + 1));
    }
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            unescaped += value[i];
            continue;
        }
        const QChar next = value[++i];
        unescaped += next == u's'   ? u' '
                     : next == u'n' ? u'\n'
                     : next == u't' ? u'\t'
                     : next == u'r' ? u'\r'
                                    : next;
    }
    return unescaped;
}

// And of the Exec key: the arguments split at unquoted spaces and unquoted, then "%%" read
// as "%".
QStringList execArguments(const QByteArray &entry)
{
    const QString unescaped = stringValue(entry, "Exec");
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool started = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted && c == u'\\' && i + 1 < unescaped.size() &&
            QStringView(u"\"`$\\").contains(unescaped[i + 1])) {
            current += unescaped[++i];
        } else if (c == u'"') {
            quoted = !quoted;
            started = true;
        } else if (c == u' ' && !quoted) {
            if (started)
                arguments << current;
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments << current;
    for (QString &argument : arguments)
        argument.replace(u"%%"_s, u"%"_s);
    return arguments;
}

// The inode and the modification time: a rewrite through a temporary file changes both.
std::pair<ino_t, qint64> identity(const QString &path)
{
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return {info.st_ino, qint64(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

} // namespace

class TestXdgAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QDir(TestHome::current().configDirectory() + u"/autostart"_s).removeRecursively();
        Console::setSink([this](const QString &line) { m_lines << line; });
        m_lines.clear();
    }
    void cleanup() { Console::setSink({}); }

    void registersTheProgramAndRewritesOnlyWhatChanged()
    {
        const QString path = XdgAutostart::entryPath();
        QCOMPARE(path, TestHome::current().configDirectory() +
                           u"/autostart/com.velmora.Sprucer.desktop"_s);
        registerLoginItemAndReport(Platform::services());
        QCOMPARE(m_lines, QStringList{u"App registered as login item."_s});
        const QByteArray entry = readAll(path);
        QVERIFY(entry.startsWith("[Desktop Entry]\nType=Application\n"));
        QVERIFY(entry.contains("\nX-GNOME-Autostart-enabled=true\n"));
        QCOMPARE(execArguments(entry), QStringList{QCoreApplication::applicationFilePath()});

        const auto written = identity(path);
        QVERIFY(Platform::services().registerLoginItem());
        QCOMPARE(identity(path), written);

        // Spaces, the characters a shell or the field codes would read, and a line break that
        // must not end the value and turn the rest of the path into keys.
        const QString odd = u"/opt/My Tools/$HOME `id` 100%d \"q\" \\ ;\nHidden=true/sprucer"_s;
        QVERIFY(XdgAutostart::registerLoginItem(odd));
        QCOMPARE(execArguments(readAll(path)), QStringList{odd});
        QCOMPARE(stringValue(readAll(path), "TryExec"), odd);
        QCOMPARE(readAll(path).count('\n'), entry.count('\n'));
        QVERIFY(XdgAutostart::registerLoginItem(odd));
    }

    void entryTurnedOffByTheUserStaysOff()
    {
        const QString path = XdgAutostart::entryPath();
        const QByteArray turnedOff[] = {
            "[Desktop Entry]\nType=Application\nExec=/usr/bin/sprucer\n Hidden = True \n",
            "# mine\r\n[Desktop Entry]\r\nExec=/usr/bin/sprucer\r\n"
            "X-GNOME-Autostart-enabled=FALSE\r\n",
        };
        for (const QByteArray &entry : turnedOff) {
            writeAll(path, entry);
            m_lines.clear();
            registerLoginItemAndReport(Platform::services());
            QCOMPARE(m_lines, QStringList{u"Failed to register app as login item: "
                                          u"the login item was turned off in "_s +
                                          path});
            QCOMPARE(readAll(path), entry);
        }

        // Turned off from Sprucer's settings, the entry goes, whatever it held.
        QVERIFY(Platform::services().unregisterLoginItem());
        QVERIFY(!QFile::exists(path));
        QVERIFY(Platform::services().unregisterLoginItem());

        // The keys count only in the entry's own group.
        writeAll(path, "[Desktop Entry]\nExec=/old/sprucer\n[Desktop Action quit]\nHidden=true\n");
        QVERIFY(XdgAutostart::registerLoginItem(u"/new/sprucer"_s));
        QCOMPARE(execArguments(readAll(path)), QStringList{u"/new/sprucer"_s});
    }

private:
    QStringList m_lines;
};

SPRUCER_TEST_MAIN(TestXdgAutostart)
#include "TestXdgAutostart.moc"
