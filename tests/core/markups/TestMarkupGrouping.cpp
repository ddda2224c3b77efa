// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/markups/MarkupGrouping.h"
#include "support/TestMain.h"

using namespace Qt::StringLiterals;

namespace {

Markup markup(const QString &path, const QString &text, const QString &type = u"TODO"_s)
{
    return Markup{QUuid::createUuid(), 1, type, text, path, false};
}

QStringList names(const QList<FolderNode> &nodes)
{
    QStringList result;
    for (const FolderNode &node : nodes)
        result << node.name;
    return result;
}

} // namespace

class TestMarkupGrouping : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Watcher name, then path, by scalar values of the composed form: case-sensitive, and a
    // decomposed accent sorts as the composed one.
    void groupsSortByWatcherThenPathAsScalarValues()
    {
        QList<GroupedMarkup> groups = MarkupGrouping::groupByFile({markup(u"/p/b.swift"_s, u"1"_s),
                                                                   markup(u"/p/B.swift"_s, u"2"_s),
                                                                   markup(u"/p/b.swift"_s, u"3"_s)},
                                                                  u"alpha"_s);
        groups << MarkupGrouping::groupByFile(
            {markup(u"/q/e\u0301.swift"_s, u"4"_s), markup(u"/q/f.swift"_s, u"5"_s)}, u"Zeta"_s);
        MarkupGrouping::sort(groups);
        QStringList order;
        for (const GroupedMarkup &group : groups)
            order << group.watcherName + u':' + group.filePath;
        QCOMPARE(order, (QStringList{u"Zeta:/q/f.swift"_s, u"Zeta:/q/e\u0301.swift"_s,
                                     u"alpha:/p/B.swift"_s, u"alpha:/p/b.swift"_s}));
        QCOMPARE(groups[3].markups.size(), 2); // the file's two findings, in list order
        QCOMPARE(groups[3].markups[1].text, u"3"_s);
    }

    // A path-only match keeps every markup of the file; the type matches too; nothing is
    // trimmed.
    void filterKeepsWholeGroups()
    {
        const QList<GroupedMarkup> groups = MarkupGrouping::groupByFile(
            {markup(u"/p/Parser.swift"_s, u"one"_s), markup(u"/p/Parser.swift"_s, u"two"_s),
             markup(u"/p/io.swift"_s, u"flush"_s, u"FIXME"_s),
             markup(u"/p/net.swift"_s, u"retry"_s)},
            u"w"_s);
        const QList<GroupedMarkup> byPath = MarkupGrouping::filterGroups(groups, u"parser"_s);
        QCOMPARE(byPath.size(), 1);
        QCOMPARE(byPath[0].markups.size(), 2);
        const QList<GroupedMarkup> byType = MarkupGrouping::filterGroups(groups, u"fixme"_s);
        QCOMPARE(byType.size(), 1);
        QCOMPARE(byType[0].filePath, u"/p/io.swift"_s);
        QVERIFY(MarkupGrouping::filterGroups(groups, u" retry"_s).isEmpty());
        QCOMPARE(MarkupGrouping::filterGroups(groups, QString()).size(), 3);
    }

    // Folders exist only where files are; a folder under one without files starts anew at the
    // top; counts reach two levels.
    void treeFoldersAndTwoLevelCounts()
    {
        QList<GroupedMarkup> groups = MarkupGrouping::groupByFile(
            {markup(u"/p/a.swift"_s, u"1"_s), markup(u"/p/src/x/b.swift"_s, u"2"_s),
             markup(u"/p/src/y/c.swift"_s, u"3"_s)},
            u"app"_s);
        groups << MarkupGrouping::groupByFile(
            {markup(u"/t/own.kt"_s, u"4"_s), markup(u"/t/own.kt"_s, u"5"_s),
             markup(u"/t/sub/s.kt"_s, u"6"_s), markup(u"/t/sub/s.kt"_s, u"7"_s),
             markup(u"/t/sub/s.kt"_s, u"8"_s), markup(u"/t/sub/deep/d.kt"_s, u"9"_s)},
            u"app"_s); // a second watcher of the same name
        const QList<FolderNode> roots = MarkupGrouping::buildFolderTree(groups);
        QCOMPARE(names(roots), QStringList{u"app"_s});
        const FolderNode &root = roots[0];
        QVERIFY(root.isWatcher && root.files.isEmpty());
        QCOMPARE(names(root.children), (QStringList{u"p"_s, u"t"_s, u"x"_s, u"y"_s}));
        QCOMPARE(root.children[0].files.value(0).name, u"a.swift"_s);
        QVERIFY(root.children[0].children.isEmpty());
        const FolderNode &t = root.children[1];
        QCOMPARE(MarkupGrouping::twoLevelCount(t), 5);
        QCOMPARE(MarkupGrouping::twoLevelCount(root), 0 + 1 + 2 + 1 + 1);

        const QSet<QString> paths = MarkupGrouping::expandablePaths(roots);
        for (const QString &path :
             {u"app"_s, u"/p"_s, u"/p/a.swift"_s, u"/t/sub/deep"_s, u"/t/sub/deep/d.kt"_s})
            QVERIFY2(paths.contains(path), qPrintable(path));
        QCOMPARE(paths.size(), 1 + 6 + 6); // the root, the folders, the files
    }
};

SPRUCER_TEST_MAIN(TestMarkupGrouping)
#include "TestMarkupGrouping.moc"
