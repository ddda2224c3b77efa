// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/support/PrivateCopyNames.h"
#include "core/watching/SourceFiles.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using Kind = SupportedFileExtension;

// The files a watcher formats under a path, as a run over its tree finds them.
class TestSourceFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_root = m_dir.filePath(u"project"_s);

    QStringList at(const QStringList &relative) const
    {
        QStringList paths;
        for (const QString &path : relative)
            paths << m_root + u'/' + path;
        return paths;
    }

private Q_SLOTS:
    // Hidden folders count, as in a run; links, pipes, private copies and other languages' files
    // do not; extensions match in their case alone; a watcher inside keeps its own files; a file
    // is itself when its language takes it; paths come back absolute, under the name given.
    void aPathGivesTheFilesARunWouldFormat()
    {
        const QString copy =
            PrivateCopyNames::directoryTemplate().replace(u"XXXXXX"_s, u"a1b2c3"_s);
        for (const QString &file :
             at({u"b.cpp"_s, u"a.h"_s, u"upper.CPP"_s, u"notes.txt"_s, u"view.mm"_s,
                 u".hidden/d.cc"_s, u"sub/deeper/e.hpp"_s, u"inner/g.cpp"_s, copy + u"/b.cpp"_s})) {
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) &&
                    QFile(file).open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(at({u"b.cpp"_s})[0], at({u"link.cpp"_s})[0]));
        QVERIFY(QFile::link(at({u"sub"_s})[0], at({u"linked sub"_s})[0]));
        QVERIFY(::mkfifo(QFile::encodeName(at({u"pipe.cpp"_s})[0]).constData(), 0600) == 0);
        const QString linkedRoot = m_dir.filePath(u"through link"_s);
        QVERIFY(QFile::link(m_root, linkedRoot));

        const QStringList cpp =
            at({u".hidden/d.cc"_s, u"a.h"_s, u"b.cpp"_s, u"inner/g.cpp"_s, u"sub/deeper/e.hpp"_s});
        QCOMPARE(SourceFiles::of(Kind::cpp, m_root), cpp);
        QCOMPARE(SourceFiles::of(Kind::objectivec, m_root + u"/"_s), at({u"a.h"_s, u"view.mm"_s}));
        QStringList outer = cpp;
        outer.removeAll(at({u"inner/g.cpp"_s})[0]);
        QCOMPARE(SourceFiles::of(Kind::cpp, m_root, {{at({u"inner"_s})[0], Kind::cpp}}), outer);
        QCOMPARE(SourceFiles::of(Kind::cpp, linkedRoot).value(2), linkedRoot + u"/b.cpp"_s);

        QCOMPARE(SourceFiles::of(Kind::cpp, at({u"b.cpp"_s})[0]), at({u"b.cpp"_s}));
        for (const QString &none :
             at({u"notes.txt"_s, u"link.cpp"_s, u"pipe.cpp"_s, u"gone.cpp"_s}))
            QCOMPARE(SourceFiles::of(Kind::cpp, none), QStringList());
        QCOMPARE(SourceFiles::of(Kind::swift, at({u"b.cpp"_s})[0]), QStringList());
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(at({u"sub"_s})[0]));
        const QStringList relative = SourceFiles::of(Kind::cpp, u"../sub/deeper/e.hpp"_s);
        const QStringList here = SourceFiles::of(Kind::cpp, u"."_s);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(relative, at({u"sub/deeper/e.hpp"_s}));
        QCOMPARE(here, relative);
    }
};

SPRUCER_TEST_MAIN(TestSourceFiles)
#include "TestSourceFiles.moc"
