// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/StoredForms.h"
#include "support/TestMain.h"

class TestStoredForms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void uuidTextIsUpperCaseAndReadsEitherCase()
    {
        const QUuid id = QUuid::fromString(QStringLiteral("6f1c2a9e-3b4d-4e5f-8a7b-1c2d3e4f5a6b"));
        QCOMPARE(StoredForms::uuidText(id), QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B"));
        QCOMPARE(StoredForms::parseUuid(QStringLiteral("6f1c2a9e-3b4d-4e5f-8a7b-1c2d3e4f5a6b")),
                 id);
        QCOMPARE(StoredForms::parseUuid(StoredForms::uuidText(id)), id);
    }

    void uuidParsingIsStrict_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("braces") << QStringLiteral("{6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6B}");
        QTest::newRow("no hyphens") << QStringLiteral("6F1C2A9E3B4D4E5F8A7B1C2D3E4F5A6B");
        QTest::newRow("short") << QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6");
        QTest::newRow("not hex") << QStringLiteral("6F1C2A9E-3B4D-4E5F-8A7B-1C2D3E4F5A6G");
        QTest::newRow("hyphen moved") << QStringLiteral("6F1C2A9E3-B4D-4E5F-8A7B-1C2D3E4F5A6B");
        QTest::newRow("empty") << QString();
    }
    void uuidParsingIsStrict()
    {
        QFETCH(QString, text);
        QVERIFY(!StoredForms::parseUuid(text).has_value());
    }

    void datesCountFromTheReferenceDate()
    {
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(StoredForms::dateNumber(reference), 0.0);
        QCOMPARE(StoredForms::dateFromNumber(0), reference);
        // 2026-12-05 15:04:05.250 UTC, as the original encoder writes it.
        const QDateTime when(QDate(2026, 12, 5), QTime(15, 4, 5, 250), Qt::UTC);
        QCOMPARE(StoredForms::dateNumber(when), 818175845.25);
        QCOMPARE(StoredForms::dateFromNumber(818175845.25), when);
    }

    void compactJsonEscapesEverySlash()
    {
        const QJsonObject object{{QStringLiteral("url"), QStringLiteral("file:///a/b%20c/")}};
        QCOMPARE(StoredForms::compactJsonEscapingSlashes(QJsonDocument(object)),
                 QByteArray(R"({"url":"file:\/\/\/a\/b%20c\/"})"));
    }

    void fileUrlsReadOnlyWhenAbsoluteFileUrls()
    {
        QCOMPARE(StoredForms::parseFileUrl(QStringLiteral("file:///tmp/a%20b/")),
                 QUrl::fromLocalFile(QStringLiteral("/tmp/a b/")));
        QVERIFY(!StoredForms::parseFileUrl(QStringLiteral("https://example.com/")));
        QVERIFY(!StoredForms::parseFileUrl(QStringLiteral("relative/path")));
    }

    void integerFieldsRefuseFractionsAndOtherTypes()
    {
        const QJsonObject object{{QStringLiteral("a"), 3},
                                 {QStringLiteral("b"), 2.5},
                                 {QStringLiteral("c"), QStringLiteral("3")}};
        QCOMPARE(StoredForms::integerField(object, QStringLiteral("a")), qint64(3));
        QVERIFY(!StoredForms::integerField(object, QStringLiteral("b")));
        QVERIFY(!StoredForms::integerField(object, QStringLiteral("c")));
        QVERIFY(!StoredForms::integerField(object, QStringLiteral("missing")));
    }
};

SPRUCER_TEST_MAIN(TestStoredForms)
#include "TestStoredForms.moc"
