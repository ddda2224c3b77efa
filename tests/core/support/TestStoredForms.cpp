// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

class TestStoredForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void uuidsReadOnlyTheHyphenatedForm()
    {
        const QString text = u"6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"_s;
        const QUuid id = QUuid::fromString(text);
        QCOMPARE(StoredForms::uuidText(id), text);
        QCOMPARE(StoredForms::parseUuid(text.toLower()), id);
        QCOMPARE(StoredForms::parseUuid(QUuid().toString(QUuid::WithoutBraces)), QUuid());
        for (const QString &bad : QStringList{
                 u'{' + text + u'}', QString(text).remove(u'-'), text.chopped(1),
                 text.chopped(1) + u'G', QString(text).remove(8, 1).insert(9, u'-'), QString()})
            QVERIFY2(!StoredForms::parseUuid(bad), qPrintable(bad));
    }

    void datesCountSecondsFrom2001()
    {
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(StoredForms::dateNumber(reference), 0.0);
        QCOMPARE(StoredForms::dateFromNumber(0), reference);
        const QDateTime when(QDate(2026, 12, 5), QTime(15, 4, 5, 250), Qt::UTC);
        QCOMPARE(StoredForms::dateNumber(when), 818175845.25);
        // Milliseconds come back whole, although a binary fraction holds few of them exactly.
        for (int ms = 0; ms < 1000; ++ms)
            QCOMPARE(StoredForms::dateFromNumber(818175845 + ms / 1000.0), when.addMSecs(ms - 250));
        // A damaged value far beyond any date is refused, not overflowed into one.
        const QJsonObject stored{{u"ok"_s, 818175845.25}, {u"huge"_s, 1e300}, {u"text"_s, u"1"_s}};
        QCOMPARE(StoredForms::dateField(stored, u"ok"_s), when);
        QVERIFY(!StoredForms::dateField(stored, u"huge"_s) &&
                !StoredForms::dateField(stored, u"text"_s));
    }

    void jsonAndUrlsKeepTheOriginalForms()
    {
        const QJsonObject object{{u"url"_s, u"file:///a/b%20c/"_s}};
        QCOMPARE(StoredForms::compactJsonEscapingSlashes(QJsonDocument(object)),
                 QByteArray(R"({"url":"file:\/\/\/a\/b%20c\/"})"));
        QCOMPARE(StoredForms::parseFileUrl(u"file:///tmp/a%20b/"_s),
                 QUrl::fromLocalFile(u"/tmp/a b/"_s));
        QVERIFY(!StoredForms::parseFileUrl(u"https://example.com/"_s));
        QVERIFY(!StoredForms::parseFileUrl(u"relative/path"_s));
    }

    void integersAreReadStrictly()
    {
        const QJsonObject object{
            {u"a"_s, -3}, {u"b"_s, 2.5}, {u"c"_s, u"3"_s}, {u"d"_s, 9007199254740994.0}};
        QCOMPARE(StoredForms::integerField(object, u"a"_s), qint64(-3));
        // Past 2^53 a JSON number no longer holds every integer.
        for (const QString &key : {u"b"_s, u"c"_s, u"d"_s, u"missing"_s})
            QVERIFY2(!StoredForms::integerField(object, key), qPrintable(key));
    }
};

SPRUCER_TEST_MAIN(TestStoredForms)
#include "TestStoredForms.moc"
