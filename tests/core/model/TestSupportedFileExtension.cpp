// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/SupportedFileExtension.h"
#include "support/TestMain.h"

using Kind = SupportedFileExtension;
namespace Kinds = SupportedFileExtensions;

class TestSupportedFileExtension : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codesRoundTripAndUnknownCodesHaveNoCase()
    {
        QStringList codes;
        for (Kind kind : Kinds::allCases()) {
            codes << Kinds::code(kind);
            QCOMPARE(Kinds::fromCode(Kinds::code(kind)), kind);
        }
        QCOMPARE(codes, (QStringList{QStringLiteral("swift"), QStringLiteral("cpp"),
                                     QStringLiteral("objectivec"), QStringLiteral("kotlin")}));
        QVERIFY(!Kinds::fromCode(QStringLiteral("java")));
        QVERIFY(!Kinds::fromCode(QStringLiteral("Swift")));
        QVERIFY(!Kinds::fromCode(QString()));
    }

    void fileMatching_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<Kind>>("takenBy");
        QTest::newRow(".h is C++ and Objective-C")
            << QStringLiteral("/p/a.h") << QList<Kind>{Kind::cpp, Kind::objectivec};
        QTest::newRow("upper-case extension") << QStringLiteral("/p/A.SWIFT") << QList<Kind>{};
        QTest::newRow("no dot") << QStringLiteral("/p/Makefile") << QList<Kind>{};
        QTest::newRow("backup suffix") << QStringLiteral("/p/a.swift~") << QList<Kind>{};
        QTest::newRow("dot only in directory")
            << QStringLiteral("/p/dir.kt/README") << QList<Kind>{};
        QTest::newRow("hidden directory")
            << QStringLiteral("/p/.gradle/b.kt") << QList<Kind>{Kind::kotlin};
        QTest::newRow("kts") << QStringLiteral("/p/build.gradle.kts") << QList<Kind>{Kind::kotlin};
        QTest::newRow("mm") << QStringLiteral("/p/View.mm") << QList<Kind>{Kind::objectivec};
        QTest::newRow("c") << QStringLiteral("/p/x.c") << QList<Kind>{Kind::cpp};
    }
    void fileMatching()
    {
        QFETCH(QString, path);
        QFETCH(QList<Kind>, takenBy);
        for (Kind kind : Kinds::allCases())
            QCOMPARE(Kinds::matches(kind, path), takenBy.contains(kind));
    }
};

SPRUCER_TEST_MAIN(TestSupportedFileExtension)
#include "TestSupportedFileExtension.moc"
