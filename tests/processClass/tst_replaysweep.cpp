#include "processClass/FrameAssembler.h"
#include "processClass/ReplaySweep.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

// When a replayed sweep is complete, and what it keeps of its frames.
namespace {

packageInfo frameAt(float direction, quint16 numPerRow = 2, quint32 dataHeight = 10)
{
    packageInfo head;
    head.direction = direction;
    head.numPerRow = numPerRow;
    head.dataHeight = dataHeight;
    return head;
}

} // namespace

class tst_ReplaySweep : public QObject
{
    Q_OBJECT

private slots:
    void stepAngle_data();
    void stepAngle();
    void halfTurnMakesOneSweep();
    void sweepThatNeverGetsThere_data();
    void sweepThatNeverGetsThere();
    void keepsOnlyWhatTheFrameDelivered();
    void sweepsThatDifferHoldOneSweepAtMost();
    void keepsOnlyThePiecesOfAFrame();
};

void tst_ReplaySweep::stepAngle_data()
{
    QTest::addColumn<float>("last");
    QTest::addColumn<float>("direction");
    QTest::addColumn<float>("added");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("first frame") << -1.f << 10.f << 0.f;
    QTest::newRow("forward step") << 0.f << 10.f << 10.f;
    QTest::newRow("across north") << 350.f << 10.f << 20.f;
    QTest::newRow("jump of 30") << 350.f << 20.f << 0.f;
    QTest::newRow("backwards") << 20.f << 10.f << 0.f;
    QTest::newRow("parked") << 10.f << 10.f << 0.f;
    QTest::newRow("NaN direction") << 10.f << nan << 0.f;
    QTest::newRow("after a NaN") << nan << 10.f << 0.f;
}

void tst_ReplaySweep::stepAngle()
{
    QFETCH(float, last);
    QFETCH(float, direction);
    QFETCH(float, added);
    QCOMPARE(ReplaySweep::stepAngle(last, direction), added);
}

void tst_ReplaySweep::halfTurnMakesOneSweep()
{
    // Directions 0, 10, ... : the 19th frame (180) completes the first sweep, and the next
    // sweep begins with the 20th frame, counting its step from the 19th.
    ReplaySweep sweep;
    sweep.restart();
    const std::vector<uchar> data(40, 7);
    for (int k = 0; k < 18; ++k)
        QVERIFY(!sweep.add(frameAt(10.f * k), data.data(), data.size()));
    QVERIFY(sweep.add(frameAt(180), data.data(), data.size()));
    QCOMPARE(sweep.size(), 19);
    const ReplaySweep::Batch &batch = sweep.batch();
    QCOMPARE(int(batch.heads.size()), 19);
    QCOMPARE(batch.heads.front()->direction, 0.f);
    QCOMPARE(batch.heads.back()->direction, 180.f);
    sweep.clearFrames();
    QVERIFY(!sweep.add(frameAt(190), data.data(), data.size()));
    QCOMPARE(sweep.sweptAngle(), 10.f);
    QCOMPARE(sweep.size(), 1);
    // A new part starts without a previous direction.
    sweep.restart();
    QVERIFY(!sweep.add(frameAt(200), data.data(), data.size()));
    QCOMPARE(sweep.sweptAngle(), 0.f);
}

void tst_ReplaySweep::sweepThatNeverGetsThere_data()
{
    QTest::addColumn<float>("step");
    QTest::addColumn<quint32>("bins");
    QTest::addColumn<int>("framesToComplete");
    // Bounded by the frame count for frames of the usual size or smaller...
    QTest::newRow("parked head") << 0.f << 10u << ReplaySweep::maxFrames;
    QTest::newRow("reverse rotation") << -1.f << 10u << ReplaySweep::maxFrames;
    // ... and by the bytes kept for big frames (95000 bins: 380000 bytes a frame).
    QTest::newRow("parked head, big frames")
        << 0.f << 95000u << int((ReplaySweep::maxBytes + 379999) / 380000);
}

void tst_ReplaySweep::sweepThatNeverGetsThere()
{
    QFETCH(float, step);
    QFETCH(quint32, bins);
    QFETCH(int, framesToComplete);
    ReplaySweep sweep;
    sweep.restart();
    const std::vector<uchar> data(std::size_t(bins) * 4, 1);
    float direction = 100;
    for (int k = 1; k < framesToComplete; ++k) {
        if (sweep.add(frameAt(direction, 2, bins), data.data(), data.size()))
            QFAIL(qPrintable(QStringLiteral("complete after %1 frames").arg(k)));
        direction = std::fmod(direction + step + 360.f, 360.f);
    }
    QVERIFY(sweep.add(frameAt(direction, 2, bins), data.data(), data.size()));
    QCOMPARE(sweep.size(), framesToComplete);
    QCOMPARE(sweep.sweptAngle(), 0.f);
}

void tst_ReplaySweep::keepsOnlyWhatTheFrameDelivered()
{
    // A header that claims far more bins than the frame holds, and one that claims fewer.
    ReplaySweep sweep;
    sweep.restart();
    std::vector<uchar> data(100);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = uchar(i);
    sweep.add(frameAt(0, 2, 1000000000u), data.data(), data.size());
    sweep.add(frameAt(1, 2, 5), data.data(), data.size());
    sweep.add(frameAt(2, 2, 5), nullptr, 0);
    const ReplaySweep::Batch &batch = sweep.batch();
    QCOMPARE(batch.bytes, (std::vector<quint32>{100, 20, 0}));
    QCOMPARE(int(batch.data[0][99]), 99);
    QCOMPARE(int(batch.data[1][19]), 19);
    QCOMPARE(sweep.bytes(), quint64(120));
}

void tst_ReplaySweep::sweepsThatDifferHoldOneSweepAtMost()
{
    // Every sweep begins with frames that deliver nothing (a parked head) and ends with half a
    // turn of the largest frames, each sweep a little further along than the one before. What
    // the sweep holds stays within one sweep's bound, however many sweeps a part has.
    const std::vector<uchar> big(std::size_t(FrameAssembler::frameCapacity()), 1);
    const quint32 bins = quint32(big.size() / 4);
    const quint64 bound = ReplaySweep::maxBytes + big.size();
    ReplaySweep sweep;
    sweep.restart();
    for (int s = 1; s <= 50; ++s) {
        for (int k = 0; k < 19 * s; ++k)
            QVERIFY(!sweep.add(frameAt(0, 2, bins), nullptr, 0));
        float direction = 0;
        bool complete = false;
        while (!complete) {
            direction += 10;
            complete = sweep.add(frameAt(direction, 2, bins), big.data(), big.size());
        }
        QCOMPARE(sweep.size(), 19 * s + 18);
        QVERIFY2(
            sweep.heldBytes() <= bound,
            qPrintable(QStringLiteral("sweep %1 holds %2 bytes").arg(s).arg(sweep.heldBytes())));
        sweep.clearFrames();
    }
}

void tst_ReplaySweep::keepsOnlyThePiecesOfAFrame()
{
    // A frame of 3000 bins (12000 bytes) whose header claims 500000 bytes, delivered in two
    // pieces, the second cut at the frame's end: only those bytes are copied, the frame keeps
    // its size, and the sweep's byte count takes the frame at that size.
    std::vector<uchar> first(2048), second(2048);
    for (std::size_t i = 0; i < first.size(); ++i) {
        first[i] = uchar(i);
        second[i] = uchar(255 - i % 256);
    }
    ReplaySweep sweep;
    sweep.restart();
    const std::vector<FrameBuffer::Piece> pieces{{1024, 3072, first.data()},
                                                 {11264, 13312, second.data()}};
    sweep.add(frameAt(0, 2, 3000), pieces, 500000);
    const ReplaySweep::Batch &batch = sweep.batch();
    QCOMPARE(batch.bytes, (std::vector<quint32>{12000}));
    QCOMPARE(int(batch.pieces[0].size()), 2);
    QCOMPARE(batch.pieces[0][0].begin, qint64(1024));
    QCOMPARE(batch.pieces[0][0].end, qint64(3072));
    QCOMPARE(batch.pieces[0][1].begin, qint64(11264));
    QCOMPARE(batch.pieces[0][1].end, qint64(12000));
    QVERIFY(std::equal(first.begin(), first.end(), batch.pieces[0][0].data));
    QVERIFY(std::equal(second.begin(), second.begin() + 736, batch.pieces[0][1].data));
    QCOMPARE(batch.pieces[0][1].data, batch.data[0] + 2048);
    QCOMPARE(sweep.bytes(), quint64(12000));
}

QTEST_APPLESS_MAIN(tst_ReplaySweep)
#include "tst_replaysweep.moc"
