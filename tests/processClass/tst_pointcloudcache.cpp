#include "processClass/ImageHistory.h"
#include "processClass/PointCloudCache.h"

#include <QDeadlineTimer>
#include <QTest>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

namespace {

// A store whose writer lock the test can hold, as a long append would.
class HeldCache : public PointCloudCache
{
public:
    void lockExclusive() { m_pointLock.lock(); }
    void unlockExclusive() { m_pointLock.unlock(); }
};

std::vector<float> pointsFrom(int first, int count)
{
    std::vector<float> v(4 * std::size_t(count));
    for (int k = 0; k < count; ++k) {
        const float i = float(first + k);
        v[4 * k] = i;
        v[4 * k + 1] = i + 0.25f;
        v[4 * k + 2] = i + 0.5f;
        v[4 * k + 3] = i + 0.75f;
    }
    return v;
}

} // namespace

class tst_PointCloudCache : public QObject
{
    Q_OBJECT

private slots:
    void appendAndRead();
    void wrapsAtCapacity_data();
    void wrapsAtCapacity();
    void clearAndNullOutput();
    void readTimesOutWithoutTouchingBuffers();
    void readerSeesWriterThroughTheLockAlone();
    void framesAndParameters();
    void historyKeepsTheLast1000();
    void historyAppliesGammaToTheCopyOnly();
};

void tst_PointCloudCache::appendAndRead()
{
    PointCloudCache cache;
    quint32 count = 99;
    std::vector<float> out(4 * PointCloudCache::capacity, -1.f);
    cache.readPoints(&count, out.data());
    QCOMPARE(count, 0u);
    QCOMPARE(out[0], -1.f);

    cache.appendPoints(pointsFrom(0, 3).data(), 0);
    const auto a = pointsFrom(0, 3);
    cache.appendPoints(a.data(), 3);
    cache.readPoints(&count, out.data());
    QCOMPARE(count, 3u);
    QVERIFY(std::equal(a.begin(), a.end(), out.begin()));
    QCOMPARE(out[12], -1.f);
}

void tst_PointCloudCache::wrapsAtCapacity_data()
{
    QTest::addColumn<int>("chunk");
    QTest::newRow("two per frame") << 2;
    QTest::newRow("odd chunks") << 333;
    QTest::newRow("one large batch") << 100001;
}

void tst_PointCloudCache::wrapsAtCapacity()
{
    QFETCH(int, chunk);
    PointCloudCache cache;
    const int total = 100001;
    const auto all = pointsFrom(0, total);
    for (int done = 0; done < total; done += chunk) {
        const int n = std::min(chunk, total - done);
        cache.appendPoints(all.data() + 4 * done, quint32(n));
    }
    quint32 count = 0;
    std::vector<float> out(4 * PointCloudCache::capacity);
    cache.readPoints(&count, out.data());
    QCOMPARE(count, 100000u);
    // Slot 0 holds the 100001st point, slot 1 the second.
    QCOMPARE(out[0], 100000.f);
    QCOMPARE(out[3], 100000.75f);
    QCOMPARE(out[4], 1.f);
    QCOMPARE(out[4 * 99999], 99999.f);

    // The next point goes to slot 1.
    cache.appendPoints(pointsFrom(7, 1).data(), 1);
    cache.readPoints(&count, out.data());
    QCOMPARE(out[4], 7.f);
    QCOMPARE(out[8], 2.f);
}

void tst_PointCloudCache::clearAndNullOutput()
{
    PointCloudCache cache;
    cache.appendPoints(pointsFrom(0, 5).data(), 5);
    quint32 count = 0;
    cache.readPoints(&count, nullptr);
    QCOMPARE(count, 5u);
    QTest::ignoreMessage(QtDebugMsg, "清空点云缓存");
    cache.clear();
    std::vector<float> out(4 * PointCloudCache::capacity, -1.f);
    cache.readPoints(&count, out.data());
    QCOMPARE(count, 0u);
    QCOMPARE(out[0], -1.f);
    // After a clear the ring starts again at slot 0.
    cache.appendPoints(pointsFrom(40, 1).data(), 1);
    cache.readPoints(&count, out.data());
    QCOMPARE(count, 1u);
    QCOMPARE(out[0], 40.f);
}

void tst_PointCloudCache::readTimesOutWithoutTouchingBuffers()
{
    HeldCache cache;
    cache.appendPoints(pointsFrom(0, 10).data(), 10);
    cache.lockExclusive();
    quint32 count = 12345;
    std::vector<float> out(4 * PointCloudCache::capacity, -3.f);
    // The reader gives up while the writer still holds the lock.
    std::thread reader([&] { cache.readPoints(&count, out.data()); });
    reader.join();
    cache.unlockExclusive();
    QCOMPARE(count, 12345u);
    QCOMPARE(out[0], -3.f);
}

// The writer on a thread of its own and the reader share nothing but the store's lock: the
// flag between them is relaxed, so it orders nothing. What the reader takes is the writer's,
// and in the ThreadSanitizer run (scripts/test.sh) the lock alone must order the two.
void tst_PointCloudCache::readerSeesWriterThroughTheLockAlone()
{
    PointCloudCache cache;
    const std::vector<float> points = pointsFrom(0, 10);
    std::atomic<bool> written{false};
    std::thread writer([&] {
        cache.appendPoints(points.data(), 10);
        written.store(true, std::memory_order_relaxed);
    });
    QDeadlineTimer bound(20000);
    while (!written.load(std::memory_order_relaxed) && !bound.hasExpired())
        std::this_thread::yield();
    quint32 count = 0;
    std::vector<float> out(4 * PointCloudCache::capacity);
    cache.readPoints(&count, out.data());
    writer.join();
    QCOMPARE(count, 10u);
    QCOMPARE(out[36], 9.f);
}

void tst_PointCloudCache::framesAndParameters()
{
    PointCloudCache cache;
    QCOMPARE(cache.cloudParamA(), 0.5f);
    QCOMPARE(cache.cloudParamB(), 0.5f);
    QCOMPARE(cache.cloudMaxRange(), 20.0f);
    std::deque<ImageFrame> out(3);
    cache.copyFrames(&out);
    QVERIFY(out.empty());

    std::deque<ImageFrame> frames(2);
    frames[0].image.fill(5, 16);
    frames[1].index = 1;
    cache.setFrames(std::move(frames));
    cache.copyFrames(&out);
    QCOMPARE(int(out.size()), 2);
    QCOMPARE(int(out[0].image.size()), 16);
    // Copies share the stored pixels (a 1000-image replay is not held three times over) ...
    std::deque<ImageFrame> again;
    cache.copyFrames(&again);
    QCOMPARE(again[0].image.constData(), std::as_const(out)[0].image.constData());
    // ... and writing one still leaves the store and the other copies as they were.
    out[0].image[0] = 9;
    QCOMPARE(int(again[0].image[0]), 5);
    cache.copyFrames(&again);
    QCOMPARE(int(again[0].image[0]), 5);
    QCOMPARE(&PointCloudCache::instance(), &PointCloudCache::instance());
}

void tst_PointCloudCache::historyKeepsTheLast1000()
{
    ImageHistory history;
    std::vector<quint16> acc(4, 1);
    packageInfo head;
    head.gamma = 1.0f;
    std::vector<FrameResult> results(2);
    int newest = -1;
    for (int i = 0; i < 1001; ++i) {
        newest = history.push(10, head, acc.data(), 2, 2, results);
        QVERIFY(results.empty());
    }
    QCOMPARE(history.size(), 1000);
    QCOMPARE(newest, 999);
    QCOMPARE(history.frames().front().index, 1u);
    QCOMPARE(history.frames().back().index, 1000u);
    QCOMPARE(int(history.frames().front().results.size()), 0);

    // A new part starts its indices again at 0; the history runs on.
    history.setNextImageIndex(0);
    results.resize(3);
    newest = history.push(4, head, acc.data(), 2, 2, results);
    QCOMPARE(newest, 999);
    QCOMPARE(history.frames().back().index, 0u);
    QCOMPARE(int(history.frames().back().results.size()), 3);
    QCOMPARE(int(history.frames().back().n), 4);
    history.clear();
    QCOMPARE(history.size(), 0);
}

void tst_PointCloudCache::historyAppliesGammaToTheCopyOnly()
{
    ImageHistory history;
    std::vector<quint16> acc{0, 1, 32768, 65535};
    const auto before = acc;
    packageInfo head;
    head.gamma = 2.0f;
    std::vector<FrameResult> none;
    history.push(1, head, acc.data(), 2, 2, none);
    QVERIFY(acc == before);
    const ImageFrame &f = history.frames().back();
    QCOMPARE(f.cols, 2);
    QCOMPARE(f.rows, 2);
    QVERIFY((f.image == QList<quint16>{0, 0, 16384, 65535}));
    head.gamma = 1.0f;
    history.push(1, head, acc.data(), 2, 2, none);
    QVERIFY(history.frames().back().image == QList<quint16>(acc.begin(), acc.end()));
}

QTEST_APPLESS_MAIN(tst_PointCloudCache)
#include "tst_pointcloudcache.moc"
