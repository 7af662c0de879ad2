#include "app/InformationCenter.h"
#include "processClass/EchoProcessor.h"
#include "processClass/FrameAssembler.h"
#include "processClass/GammaCorrect.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "processClass/ReplaySweep.h"
#include "support/ExpectedPoints.h"
#include "support/ReferenceSectorImage.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

// Processing::processFile on the caller's thread: what one recorded part becomes (points,
// stored sweep images, progress, the end sequence) and playBackFrame over the result.
namespace {

using SimSonar::ScanPlan;

// Frames of one packet: 190 bins per beam, echoes at bins 60 and 150 (0.6 m and 1.5 m).
ScanPlan smallFrames(int frames, float step, float firstDirection = 0)
{
    ScanPlan plan;
    plan.header.dataHeight = 190;
    plan.header.distReso = 0.01f;
    plan.header.maxDist = 1.9f;
    plan.header.vez25EDirectionAngle = std::fabs(step) > 0 ? std::fabs(step) : 1.0f;
    plan.frames = frames;
    plan.step = step;
    plan.firstDirection = firstDirection;
    plan.speed = 3.0f;
    plan.gamma = 1.5f;
    return plan;
}

const SimSonar::SampleFunction &echoes()
{
    static const SimSonar::SampleFunction f =
        SimSonar::echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50);
    return f;
}

QByteArray part(const ScanPlan &plan)
{
    return SimSonar::recordingBytes(plan, echoes());
}

// The objects of a replay, Processing reset as at the start of a replay.
struct Replayer
{
    PacketRing *m_ring = nullptr;
    InformationCenter *m_center;
    Processing m_processing{&m_ring, &m_center};

    explicit Replayer(QObject *owner) : m_center(new InformationCenter(owner))
    {
        m_processing.clearHistory();
        m_processing.clearStopRequest();
        m_processing.init();
    }
    void replay(const QByteArray &bytes, quint32 length)
    {
        m_processing.processFile(reinterpret_cast<const uchar *>(bytes.constData()), length);
    }
    void replay(const QByteArray &bytes) { replay(bytes, quint32(bytes.size())); }
};

} // namespace

class tst_Replay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void partWithoutPackets_data();
    void partWithoutPackets();
    void progressEveryHundredAcceptedPackets();
    void halfTurnsBecomeStoredImages();
    void pointsInBatchesOf500();
    void sweepThatNeverReachesHalfATurn_data();
    void sweepThatNeverReachesHalfATurn();
    void framesOf400PacketsReplayWhole();
    void craftedFramesReplayAsTheirWholeFrames();
    void noInfinitePoint_data();
    void noInfinitePoint();
    void truncatedLastRecordIsIgnored();
    void stopRequestEndsThePart();
    void playBackFrame_data();
    void playBackFrame();
};

void tst_Replay::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
}

void tst_Replay::partWithoutPackets_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty part") << 0;
    QTest::newRow("shorter than one packet") << 700;
}

void tst_Replay::partWithoutPackets()
{
    // Only the start and the end sequence, in their order; the store gets the history as it is.
    QFETCH(int, length);
    Replayer r(this);
    r.replay(part(smallFrames(19, 10)));
    QCOMPARE(int(r.m_processing.history().size()), 1);
    PointCloudCache::instance().setFrames({});

    QStringList events;
    connect(r.m_center, &InformationCenter::palyBackEnable, this,
            [&](bool on) { events << QStringLiteral("enable %1").arg(on); });
    connect(&r.m_processing, &Processing::sigProgressInit, this,
            [&] { events << QStringLiteral("init"); });
    connect(&r.m_processing, &Processing::sigProgressChanged, this, [&](double v, bool running) {
        events << QStringLiteral("progress %1 %2").arg(v).arg(running);
    });
    connect(&r.m_processing, &Processing::sigProcessImagesOK, this, [&] {
        std::deque<ImageFrame> stored;
        PointCloudCache::instance().copyFrames(&stored);
        events << QStringLiteral("images %1").arg(stored.size());
    });
    connect(&r.m_processing, &Processing::sigProcessOK, this,
            [&] { events << QStringLiteral("points"); });
    const QByteArray bytes(length, '\x01');
    r.replay(bytes, quint32(length));
    QCOMPARE(events, (QStringList{"enable 0", "init", "images 1", "enable 1", "progress 100 0"}));
}

void tst_Replay::progressEveryHundredAcceptedPackets()
{
    // 250 accepted packets with a rejected one (an unknown sample width) after every tenth:
    // reports after the 100th and 200th accepted packet, with the offset after that packet.
    const QByteArray frames = part(smallFrames(250, 1));
    QByteArray bytes;
    QByteArray rejected = frames.left(packetSize);
    rejected[1] = char(5);           // dataWidth
    std::vector<qint64> offsetAfter; // offset after accepted packet k (1-based)
    for (int k = 0; k < 250; ++k) {
        bytes += frames.mid(qsizetype(k) * packetSize, packetSize);
        offsetAfter.push_back(bytes.size());
        if (k % 10 == 9)
            bytes += rejected;
    }
    Replayer r(this);
    QSignalSpy progress(&r.m_processing, &Processing::sigProgressChanged);
    r.replay(bytes);
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress[0][0].toDouble(), double(offsetAfter[99]) / double(bytes.size()) * 100.0);
    QCOMPARE(progress[0][1].toBool(), true);
    QCOMPARE(progress[1][0].toDouble(), double(offsetAfter[199]) / double(bytes.size()) * 100.0);
    QCOMPARE(progress[2][0].toDouble(), 100.0);
    QCOMPARE(progress[2][1].toBool(), false);
}

void tst_Replay::halfTurnsBecomeStoredImages()
{
    // Directions 0, 10, 20, ...: the 19th frame completes the first half turn, the next
    // image takes 18 frames (its first step counts from the 19th frame). The stored images are
    // the accumulation of those frames with the stamped gamma, as the literal per-pixel
    // reference draws them.
    const ScanPlan plan = smallFrames(40, 10);
    const QByteArray bytes = part(plan);
    Replayer r(this);
    QSignalSpy schedule(r.m_center, &InformationCenter::updateSchedule);
    QSignalSpy pixmaps(&r.m_processing, &Processing::sigUpdatePixmap);
    QSignalSpy headers(&r.m_processing, &Processing::sig_packageInfo);
    r.replay(bytes);

    const std::deque<ImageFrame> &history = r.m_processing.history();
    QCOMPARE(int(history.size()), 2);
    QCOMPARE(int(history[0].n), 19);
    QCOMPARE(int(history[1].n), 18);
    QCOMPARE(history[0].index, 0u);
    QCOMPARE(history[1].index, 1u);
    QCOMPARE(history[0].header.frameSerialNum, 18u);
    QCOMPARE(history[1].header.frameSerialNum, 36u);
    QCOMPARE(schedule.size(), 2);
    QCOMPARE(schedule[1][0].toInt(), 1);

    const std::vector<SimSonar::WholeFrame> frames = SimSonar::wholeFrames(bytes);
    std::vector<quint16> acc(640000, 0);
    int first = 0;
    for (const ImageFrame &stored : history) {
        std::vector<const packageInfo *> heads;
        std::vector<const uchar *> data;
        std::vector<quint32> sizes;
        for (int k = first; k < first + stored.n; ++k) {
            heads.push_back(&frames[std::size_t(k)].head);
            data.push_back(
                reinterpret_cast<const uchar *>(frames[std::size_t(k)].data.constData()));
            sizes.push_back(quint32(frames[std::size_t(k)].data.size()));
        }
        first += stored.n;
        reference::generateImage(heads.data(), data.data(), sizes.data(), stored.n, acc.data());
        std::vector<quint16> expected = acc;
        reference::gammaCorrect(expected.data(), quint32(expected.size()), 1.5 - 1.0, 1.0);
        QVERIFY(stored.image == QList<quint16>(expected.begin(), expected.end()));
    }
    // The end shows the newest image and publishes its header.
    QCOMPARE(pixmaps.size(), 1);
    QCOMPARE(headers.last()[0].value<packageInfo>().frameSerialNum, 36u);

    QCOMPARE(int(history[0].results.size()), 19);

    // The next part numbers its images from 0 again; the history runs on. Its first image
    // carries the results of its own 19 frames, not those of the 3 frames the first part
    // left without an image.
    r.replay(bytes);
    QCOMPARE(int(r.m_processing.history().size()), 4);
    QCOMPARE(r.m_processing.history()[2].index, 0u);
    QCOMPARE(int(r.m_processing.history()[2].results.size()), 19);
    QCOMPARE(schedule.last()[0].toInt(), 3);
}

void tst_Replay::pointsInBatchesOf500()
{
    // 260 frames: one batch of 500 points after frame 250, then the 20 points left at the end
    // of the part. Along-track distance grows by the stamped speed / 1000 per frame.
    Replayer r(this);
    QSignalSpy batches(&r.m_processing, &Processing::sigProcessOK);
    r.replay(part(smallFrames(260, 1)));
    QCOMPARE(batches.size(), 2);
    QCOMPARE(batches[0][0].value<packageInfo>().frameSerialNum, 249u);
    QCOMPARE(batches[1][0].value<packageInfo>().frameSerialNum, 259u);
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(int(points.size()), 520);
    double along = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i % 2 == 0)
            along += 3.0 / 1000.0;
        QCOMPARE(points[i].alongTrack, float(along));
        const double range = std::hypot(points[i].x, points[i].y);
        QVERIFY2(std::fabs(range - (i % 2 == 0 ? 0.6 : 1.5)) < 0.02,
                 qPrintable(QString::number(range)));
    }
    QVERIFY(std::fabs(batches[1][1].toFloat() - 1.5f) < 0.02f);
}

void tst_Replay::sweepThatNeverReachesHalfATurn_data()
{
    QTest::addColumn<float>("step");
    QTest::newRow("parked head") << 0.f;
    QTest::newRow("reverse rotation") << -1.f;
}

void tst_Replay::sweepThatNeverReachesHalfATurn()
{
    // Drawn and stored once it holds 20000 frames; the 5 frames after it give no image.
    QFETCH(float, step);
    Replayer r(this);
    r.replay(part(smallFrames(ReplaySweep::maxFrames + 5, step, 90)));
    QCOMPARE(int(r.m_processing.history().size()), 1);
    QCOMPARE(int(r.m_processing.history()[0].n), ReplaySweep::maxFrames);
    QCOMPARE(r.m_processing.history()[0].header.frameSerialNum,
             quint32(ReplaySweep::maxFrames - 1));
}

void tst_Replay::framesOf400PacketsReplayWhole()
{
    // Frames far larger than 60 packets: every one is processed whole, as the echo processing
    // of the same frame sees it. (The AddressSanitizer build runs this too.)
    ScanPlan plan = smallFrames(4, 20);
    plan.header.dataHeight = 400 * 190;
    plan.header.maxDist = 800.0f;
    const SimSonar::SampleFunction far =
        SimSonar::echoSamples({{0, 70000, 20000, 3}, {1, 300, 30000, 3}}, 50);
    const QByteArray bytes = SimSonar::recordingBytes(plan, far);
    QCOMPARE(bytes.size(), 4 * 400 * int(packetSize));
    Replayer r(this);
    r.replay(bytes);
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(int(points.size()), 8);
    EchoProcessor echo;
    const std::vector<SimSonar::WholeFrame> frames = SimSonar::wholeFrames(bytes);
    QCOMPARE(int(frames.size()), 4);
    for (std::size_t k = 0; k < frames.size(); ++k) {
        FrameResult result;
        double p[8];
        echo.processFrame(frames[k].head, frames[k].data.constData(), frames[k].data.size(), result,
                          p);
        QCOMPARE(points[2 * k].x, float(p[1]));
        QCOMPARE(points[2 * k].y, float(p[2]));
        QCOMPARE(points[2 * k + 1].strength, float(p[7]));
        QVERIFY(std::fabs(result.rangeA - 700.0) < 0.1);
    }
}

void tst_Replay::craftedFramesReplayAsTheirWholeFrames()
{
    // What a replay makes of frames that claim far more than their packets delivered is what
    // the whole frames, zeros where nothing was delivered, give: the same points, bit for bit,
    // and the same stored images as the literal per-pixel drawing of the whole frames.
    const QByteArray bytes = SimSonar::claimingMixBytes();
    Replayer r(this);
    r.replay(bytes);

    const std::vector<SimSonar::WholeFrame> frames = SimSonar::wholeFrames(bytes);
    QCOMPARE(int(frames.size()), 25 + 50 + 20 + 30 - 1);
    const std::vector<CloudPoint> expected =
        expectedPoints(frames, [](const packageInfo &h) { return h.speed; });
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(points.size(), expected.size());
    QVERIFY(std::memcmp(points.data(), expected.data(), points.size() * sizeof(CloudPoint)) == 0);

    const std::deque<ImageFrame> &history = r.m_processing.history();
    QVERIFY(history.size() >= 6);
    std::vector<quint16> acc(640000, 0);
    std::size_t first = 0;
    for (const ImageFrame &stored : history) {
        std::vector<const packageInfo *> heads;
        std::vector<const uchar *> data;
        std::vector<quint32> sizes;
        for (std::size_t k = first; k < first + stored.n; ++k) {
            const SimSonar::WholeFrame &f = frames[k];
            heads.push_back(&f.head);
            data.push_back(reinterpret_cast<const uchar *>(f.data.constData()));
            sizes.push_back(quint32(
                std::min<qint64>(2 * qint64(f.head.numPerRow) * f.head.dataHeight, f.data.size())));
        }
        first += stored.n;
        reference::generateImage(heads.data(), data.data(), sizes.data(), stored.n, acc.data());
        std::vector<quint16> want = acc;
        reference::gammaCorrect(want.data(), quint32(want.size()), 1.5 - 1.0, 1.0);
        QVERIFY2(stored.image == QList<quint16>(want.begin(), want.end()),
                 qPrintable(QStringLiteral("image %1").arg(stored.index)));
    }
}

void tst_Replay::noInfinitePoint_data()
{
    QTest::addColumn<float>("distReso");
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("frames");
    // Whether some of the frames' points must be left out.
    QTest::addColumn<bool>("dropped");
    const float largest = std::numeric_limits<float>::max();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("distReso 3.4e38") << largest << 3.0f << 20 << true;
    QTest::newRow("distReso -3.4e38") << -largest << 3.0f << 20 << true;
    QTest::newRow("distReso 1e36: ranges that a float still holds") << 1e36f << 3.0f << 20 << false;
    QTest::newRow("stamped speed 3.4e38") << 0.01f << largest << 1100 << true;
    QTest::newRow("stamped speed -3.4e38") << 0.01f << -largest << 1100 << true;
    QTest::newRow("stamped speed infinite") << 0.01f << inf << 20 << false;
    QTest::newRow("stamped speed NaN")
        << 0.01f << std::numeric_limits<float>::quiet_NaN() << 20 << false;
}

void tst_Replay::noInfinitePoint()
{
    // Ordinary frames, then frames whose header makes a range or the along-track distance too
    // large for a float: those points are not stored, the others are, and the largest beam
    // range sent to the 3D view stays a finite number.
    QFETCH(float, distReso);
    QFETCH(float, speed);
    QFETCH(int, frames);
    QFETCH(bool, dropped);
    ScanPlan hostile = smallFrames(frames, 10, 100);
    hostile.header.distReso = distReso;
    hostile.speed = speed;
    hostile.firstSerial = 100;
    const QByteArray bytes = part(smallFrames(10, 10)) + part(hostile);
    Replayer r(this);
    QSignalSpy batches(&r.m_processing, &Processing::sigProcessOK);
    r.replay(bytes);

    float widest = -1;
    const std::vector<CloudPoint> expected = expectedPoints(
        SimSonar::wholeFrames(bytes), [](const packageInfo &h) { return h.speed; }, &widest);
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(expected.size() < std::size_t(2 * (10 + frames)), dropped);
    QVERIFY(allFinite(points));
    QCOMPARE(points.size(), expected.size());
    QVERIFY(std::memcmp(points.data(), expected.data(), points.size() * sizeof(CloudPoint)) == 0);
    QVERIFY(!batches.isEmpty());
    for (const QList<QVariant> &batch : batches)
        QVERIFY(std::isfinite(batch[1].toFloat()));
    QCOMPARE(batches.last()[1].toFloat(), widest);
    QVERIFY(widest > 1);
}

void tst_Replay::truncatedLastRecordIsIgnored()
{
    // A recording cut short inside its last record replays like the whole records before it.
    const QByteArray whole = part(smallFrames(30, 10));
    Replayer a(this);
    a.replay(whole);
    const std::vector<CloudPoint> expected = storedPoints();
    const std::deque<ImageFrame> expectedImages = a.m_processing.history();

    Replayer b(this);
    b.replay(whole + whole.left(700));
    const std::vector<CloudPoint> got = storedPoints();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(std::memcmp(got.data(), expected.data(), got.size() * sizeof(CloudPoint)) == 0);
    QCOMPARE(b.m_processing.history().size(), expectedImages.size());
    QVERIFY(b.m_processing.history().front().image == expectedImages.front().image);
}

void tst_Replay::stopRequestEndsThePart()
{
    // A stop during the part ends it at the next packet; the images stored so far stay, reach
    // the store and the last one is shown. A part handed over after the stop adds nothing.
    const QByteArray bytes = part(smallFrames(400, 10));
    Replayer r(this);
    QSignalSpy progress(&r.m_processing, &Processing::sigProgressChanged);
    QSignalSpy pixmaps(&r.m_processing, &Processing::sigUpdatePixmap);
    connect(r.m_center, &InformationCenter::updateSchedule, this, [&](int newest) {
        if (newest == 1)
            r.m_processing.requestStop();
    });
    r.replay(bytes);
    QCOMPARE(int(r.m_processing.history().size()), 2);
    QCOMPARE(int(storedPoints().size()), 2 * (19 + 18));
    std::deque<ImageFrame> stored;
    PointCloudCache::instance().copyFrames(&stored);
    QCOMPARE(int(stored.size()), 2);
    QCOMPARE(pixmaps.size(), 1);
    QCOMPARE(progress.last()[0].toDouble(), 100.0);

    r.replay(bytes);
    QCOMPARE(int(r.m_processing.history().size()), 2);
    QCOMPARE(int(storedPoints().size()), 2 * (19 + 18));
}

void tst_Replay::playBackFrame_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("shownSerial");
    QTest::newRow("before the first") << -1 << -1;
    QTest::newRow("first") << 0 << 18;
    QTest::newRow("last") << 1 << 36;
    QTest::newRow("past the last") << 2 << -1;
}

void tst_Replay::playBackFrame()
{
    QFETCH(int, index);
    QFETCH(int, shownSerial);
    Replayer r(this);
    r.replay(part(smallFrames(40, 10)));
    QSignalSpy pixmaps(&r.m_processing, &Processing::sigUpdatePixmap);
    QSignalSpy headers(&r.m_processing, &Processing::sig_packageInfo);
    emit r.m_center->palyBackVideo(index);
    if (shownSerial < 0) {
        QCOMPARE(pixmaps.size(), 0);
        return;
    }
    QTRY_COMPARE(pixmaps.size(), 1);
    QCOMPARE(headers[0][0].value<packageInfo>().frameSerialNum, quint32(shownSerial));
    QCOMPARE(pixmaps[0][0].value<QPixmap>().size(), QSize(800, 800));
}

QTEST_MAIN(tst_Replay)
#include "tst_replay.moc"
