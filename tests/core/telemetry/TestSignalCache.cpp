// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/telemetry/SignalCache.h"
#include "core/telemetry/TelemetryTestSupport.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>

namespace {

QString cacheFile()
{
    return TestHome::current().cacheDirectory() + QStringLiteral("/Sprucer/telemetrysignalcache");
}

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QList<SignalPostBody> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SignalPostBody::decodeList(file.readAll()).value_or(QList<SignalPostBody>());
}

} // namespace

class TestSignalCache : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { TestHome::current().reset(); }

    void popsTheOldestHundredAndTakesBatchesBackInFront()
    {
        LogCapture log;
        SignalCache cache(TelemetryLogger(log.handler(), false), 10000);
        for (const SignalPostBody &body : sampleBodies(0, 250))
            cache.push(body);

        const QList<SignalPostBody> first = cache.pop();
        QCOMPARE(first, sampleBodies(0, 100));
        QCOMPARE(cache.pop(), sampleBodies(100, 100));
        cache.putBack(first);
        QCOMPARE(cache.count(), 150);
        QCOMPARE(cache.pop(), first);
        QCOMPARE(cache.pop(), sampleBodies(200, 50));
        QVERIFY(cache.pop().isEmpty());
    }

    void pastTheLimitTheOldestGoAndThatIsLoggedOncePerEpisode()
    {
        LogCapture log;
        SignalCache cache(TelemetryLogger(log.handler(), false), 10);
        for (const SignalPostBody &body : sampleBodies(0, 15))
            cache.push(body);
        QCOMPARE(cache.snapshot(), sampleBodies(5, 10));
        cache.putBack(sampleBodies(100, 3)); // a failed batch is older than what is cached
        QCOMPARE(cache.snapshot(), sampleBodies(5, 10));
        QCOMPARE(log.linesContaining(QStringLiteral("dropping")).size(), 1);
        QVERIFY(log.lines().first().startsWith(QStringLiteral("[TelemetryDeck: error] ")));

        // Once there is room again, the next overflow is worth a line of its own.
        cache.pop();
        for (const SignalPostBody &body : sampleBodies(20, 11))
            cache.push(body);
        QCOMPARE(cache.count(), 10);
        QCOMPARE(log.linesContaining(QStringLiteral("dropping")).size(), 2);
    }

    void loadingPutsTheFileAheadAndDeletesIt()
    {
        writeFile(cacheFile(), SignalPostBody::encodeList(sampleBodies(0, 3)));
        SignalCache cache(TelemetryLogger(LogCapture().handler(), false), 10000);
        cache.push(sampleBody(3));
        cache.loadFromFile(cacheFile());
        QCOMPARE(cache.snapshot(), sampleBodies(0, 4));
        QVERIFY(!QFile::exists(cacheFile()));

        // A file that does not decode is deleted too, or it would be read at every launch.
        writeFile(cacheFile(), "\x00garbage");
        cache.loadFromFile(cacheFile());
        QCOMPARE(cache.count(), 4);
        QVERIFY(!QFile::exists(cacheFile()));
        cache.loadFromFile(cacheFile());
        QCOMPARE(cache.count(), 4);
    }

    void savingKeepsWhatAnotherInstanceLeftAndTheLimit()
    {
        LogCapture log;
        SignalCache other(TelemetryLogger(log.handler(), true), 5);
        for (const SignalPostBody &body : sampleBodies(0, 2))
            other.push(body);
        QVERIFY(other.saveToFile(cacheFile()));

        SignalCache ours(TelemetryLogger(log.handler(), true), 5);
        for (const SignalPostBody &body : sampleBodies(10, 4))
            ours.push(body);
        QVERIFY(ours.saveToFile(cacheFile()));
        QCOMPARE(readFile(cacheFile()), QList<SignalPostBody>{sampleBody(1)} + sampleBodies(10, 4));
        QCOMPARE(log.lines().last(),
                 QStringLiteral("[TelemetryDeck: debug] Saved Telemetry cache 4 of 4 signals"));
    }

    void failingToSaveIsLogged()
    {
        LogCapture log;
        SignalCache cache(TelemetryLogger(log.handler(), false), 10);
        cache.push(sampleBody(0));
        QDir().mkpath(cacheFile()); // a directory where the file should go
        QVERIFY(!cache.saveToFile(cacheFile()));
        QCOMPARE(log.lines(), QStringList{QStringLiteral("[TelemetryDeck: error] Error saving "
                                                         "Telemetry cache")});
    }
};

SPRUCER_TEST_MAIN(TestSignalCache)
#include "TestSignalCache.moc"
