#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/FileSave.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "support/LivePath.h"
#include "support/ReplayWiring.h"
#include "support/SimRecording.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

// Recording and replay with the real receiver and ring: what the simulated sonar streams is
// recorded and replays to what the live path saw; and a sonar that keeps streaming during a
// replay changes nothing of it.
namespace {

// The live path with the recorder and the replay reader wired as the program wires them.
struct Rig : LivePath
{
    FileSave m_save{&m_ring, &m_center};
    Processing *m_processingPtr = &m_processing;
    FileRead m_reader{&m_processingPtr, &m_center};
    QSignalSpy m_ends{m_center, &InformationCenter::sigStopReadFile};

    explicit Rig(QObject *owner) : LivePath(owner) { wireReplay(m_reader, m_processing, m_center); }
    void replay(const QString &path)
    {
        m_ends.clear();
        emit m_center->sigReadFile(QUrl::fromLocalFile(path).toString());
    }
    bool ended()
    {
        return QTest::qWaitFor(
            [this] {
                return !m_ends.isEmpty()
                       && m_center->m_fileStatus() == InformationCenter::FileStatus::None;
            },
            30000);
    }
};

bool samePoints(const CloudPoint *a, const CloudPoint *b, std::size_t n)
{
    return std::memcmp(a, b, n * sizeof(CloudPoint)) == 0;
}

} // namespace

class tst_ReplayLive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordThenReplayGivesWhatTheLivePathSaw();
    void streamingDuringAReplayChangesNothing();
};

void tst_ReplayLive::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
}

void tst_ReplayLive::recordThenReplayGivesWhatTheLivePathSaw()
{
    const int frames = 60;
    Rig rig(this);
    rig.m_center->setSpeedMove(2.0f);
    rig.m_center->setTargetGamma(1.2);
    std::vector<quint32> liveSerials;
    connect(&rig.m_processing, &Processing::sigProcessOK, this,
            [&](packageInfo head, float) { liveSerials.push_back(head.frameSerialNum); });
    QVERIFY(rig.start());
    rig.m_processing.init();

    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("dive.DB"));
    emit rig.m_center->sigSaveFile(QUrl::fromLocalFile(recording).toString());
    packageInfo head = SimSonar::defaultHeader();
    head.vez25EDirectionAngle = 10; // a stored image every 18 frames
    rig.m_sonar.setHeader(head);
    rig.m_sonar.setEchoes({{0, 1000, 20000, 3}, {1, 2500, 30000, 3}}, 100);
    rig.m_sonar.setFrameRate(200);
    rig.m_sonar.setFrameLimit(frames);
    rig.m_sonar.start();
    QTRY_COMPARE_WITH_TIMEOUT(int(liveSerials.size()), frames, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.m_ring->hasRecordData(), 10000);
    emit rig.m_center->sigStopSaveFile();
    QCOMPARE(rig.m_ring->lostPackets(), 0u);
    QCOMPARE(rig.m_ring->lostRecordPackets(), 0u);
    const std::vector<CloudPoint> live = storedPoints();
    QCOMPARE(int(live.size()), 2 * frames);

    // The recording holds every frame but the last, which was still in progress at the stop.
    const auto records = SimSonar::readRecords(recording);
    QCOMPARE(int(records.size()), (frames - 1) * int(SimSonar::packetsPerFrame(head)));
    QCOMPARE(records.front().frameSerial, liveSerials.front());
    QCOMPARE(records.back().frameSerial, liveSerials[frames - 2]);

    rig.replay(recording);
    QVERIFY(rig.ended());
    const std::vector<CloudPoint> replayed = storedPoints();
    QCOMPARE(int(replayed.size()), 2 * (frames - 1));
    QVERIFY(samePoints(replayed.data(), live.data(), replayed.size()));
    QCOMPARE(int(rig.m_processing.history().size()), (frames - 1) / 18);
}

void tst_ReplayLive::streamingDuringAReplayChangesNothing()
{
    QTemporaryDir dir;
    const QString recording = dir.filePath(QStringLiteral("dive.DB"));
    SimSonar::ScanPlan plan;
    plan.frames = 200;
    plan.step = 5;
    plan.speed = 1.0f;
    plan.gamma = 1.3f;
    QVERIFY(
        SimSonar::appendRecording(
            recording, plan, SimSonar::echoSamples({{0, 800, 20000, 3}, {1, 1600, 25000, 3}}, 80))
        > 0);

    // The replay alone, for reference.
    std::vector<CloudPoint> expected;
    std::deque<ImageFrame> expectedImages;
    {
        Rig quiet(this);
        quiet.replay(recording);
        QVERIFY(quiet.ended());
        expected = storedPoints();
        expectedImages = quiet.m_processing.history();
    }
    QCOMPARE(int(expected.size()), 2 * plan.frames);
    QCOMPARE(int(expectedImages.size()), 5);

    // The same replay while the sonar streams other frames into the data port all along.
    Rig rig(this);
    std::vector<CloudPoint> got;
    connect(
        &rig.m_processing, &Processing::sigProcessImagesOK, this, [&] { got = storedPoints(); },
        Qt::DirectConnection);
    QVERIFY(rig.start());
    packageInfo head = SimSonar::defaultHeader();
    head.vez25EDirectionAngle = 7;
    rig.m_sonar.setHeader(head);
    rig.m_sonar.setEchoes({{0, 300, 40000, 3}, {1, 3500, 40000, 3}}, 500);
    rig.m_sonar.setFrameRate(300);
    QSignalSpy liveFrames(&rig.m_processing, &Processing::sigProcessOK);
    // The replay's thread has finished, but the file status is Reading until its end signal
    // has been handled on this thread: the live loop takes five more frames meanwhile, while
    // this thread handles no events.
    std::atomic<bool> heldOn{false};
    connect(
        rig.m_center, &InformationCenter::sigStopReadFile, this,
        [&] {
            if (QThread::currentThread() == thread())
                return;
            const quint64 until = rig.m_sonar.datagramsSent() + 5 * SimSonar::packetsPerFrame(head);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while ((rig.m_sonar.datagramsSent() < until || rig.m_ring->hasData())
                   && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            heldOn = true;
        },
        Qt::DirectConnection);
    rig.m_sonar.start();
    QVERIFY(liveFrames.wait(10000));
    rig.replay(recording);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!heldOn.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    QVERIFY(heldOn.load());
    QVERIFY(rig.ended());
    rig.m_sonar.stop();
    QCOMPARE(got.size(), expected.size());
    QVERIFY(samePoints(got.data(), expected.data(), got.size()));
    QCOMPARE(rig.m_processing.history().size(), expectedImages.size());
    for (std::size_t i = 0; i < expectedImages.size(); ++i)
        QVERIFY(rig.m_processing.history()[i].image == expectedImages[i].image);
}

QTEST_MAIN(tst_ReplayLive)
#include "tst_replay_live.moc"
