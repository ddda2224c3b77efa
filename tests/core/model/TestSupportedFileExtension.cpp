// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/model/SupportedFileExtension.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

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
        QCOMPARE(codes, (QStringList{u"swift"_s, u"cpp"_s, u"objectivec"_s, u"kotlin"_s}));
        QVERIFY(!Kinds::fromCode(u"java"_s));
        QVERIFY(!Kinds::fromCode(u"Swift"_s));
        QVERIFY(!Kinds::fromCode(QString()));
    }

    void fileMatching_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<Kind>>("takenBy");
        QTest::newRow(".h is C++ and Objective-C")
            << u"/p/a.h"_s << QList<Kind>{Kind::cpp, Kind::objectivec};
        QTest::newRow("upper-case extension") << u"/p/A.SWIFT"_s << QList<Kind>{};
        QTest::newRow("no dot") << u"/p/Makefile"_s << QList<Kind>{};
        QTest::newRow("backup suffix") << u"/p/a.swift~"_s << QList<Kind>{};
        QTest::newRow("dot only in directory") << u"/p/dir.kt/README"_s << QList<Kind>{};
        QTest::newRow("hidden directory") << u"/p/.gradle/b.kt"_s << QList<Kind>{Kind::kotlin};
        QTest::newRow("kts") << u"/p/build.gradle.kts"_s << QList<Kind>{Kind::kotlin};
        QTest::newRow("mm") << u"/p/View.mm"_s << QList<Kind>{Kind::objectivec};
        for (const char *extension :
             {"c", "cc", "cxx", "c++", "hh", "hxx", "h++", "ipp", "tpp", "inl"})
            QTest::newRow(extension)
                << u"/p/x."_s + QLatin1String(extension) << QList<Kind>{Kind::cpp};
        QTest::newRow("C (upper case)") << u"/p/x.CC"_s << QList<Kind>{};
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
