// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/formatting/FileCoordinator.h"
#include "support/TestMain.h"

#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <memory>
#include <vector>

class TestFileCoordinator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FileCoordinator m_coordinator;

    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private Q_SLOTS:
    void actionsOnOneFileNeverOverlapAndLeaveNoEntry()
    {
        std::atomic<int> active{0}, faults{0}, runs{0};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back(QThread::create([&] {
                for (int i = 0; i < 40; ++i) {
                    m_coordinator.coordinate(file("a.cpp"), [&](const auto &error) {
                        if (error || active.fetch_add(1) != 0)
                            ++faults;
                        for (int spin = 0; spin < 50; ++spin)
                            QThread::yieldCurrentThread();
                        --active;
                        ++runs;
                    });
                }
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(30000));
        QCOMPARE(runs.load(), 6 * 40);
        QCOMPARE(faults.load(), 0);
        QCOMPARE(m_coordinator.activePathCount(), 0);
    }

    void otherFilesDoNotWait()
    {
        // The first action waits inside its lock for the second, which only per-file locks allow.
        QSemaphore secondRan;
        bool firstSawSecond = false;
        std::unique_ptr<QThread> second(QThread::create([&] {
            m_coordinator.coordinate(file("b.cpp"), [&](const auto &) { secondRan.release(); });
        }));
        m_coordinator.coordinate(file("a.cpp"), [&](const auto &) {
            second->start();
            firstSawSecond = secondRan.tryAcquire(1, 10000);
        });
        QVERIFY(second->wait(10000));
        QVERIFY(firstSawSecond);
    }

    void refusesWhatIsNotAnAbsolutePath()
    {
        for (const QString &path : {QString(), QStringLiteral("relative/Main.kt")}) {
            QList<std::optional<Error>> calls;
            m_coordinator.coordinate(path, [&](const auto &error) { calls << error; });
            QCOMPARE(calls.size(), 1);
            QCOMPARE(calls[0].value_or(Error()).domain, QStringLiteral("FileCoordinator"));
        }
    }
};

SPRUCER_TEST_MAIN(TestFileCoordinator)
#include "TestFileCoordinator.moc"
