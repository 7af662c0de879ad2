#include "app/InformationCenter.h"
#include "processClass/ColorTable.h"
#include "processClass/EchoProcessor.h"
#include "processClass/PacketRing.h"
#include "processClass/PointCloudCache.h"
#include "processClass/Processing.h"
#include "support/ExpectedPoints.h"
#include "support/ReferenceSectorImage.h"
#include "support/ReplayWiring.h"
#include "support/SectorFrames.h"
#include "support/SimRecording.h"
#include "support/SonarFrameBuilder.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <vector>

namespace {

// A frame at direction 90 whose every sample is value: it paints the wedges around 90 and -90.
SectorFrame fullFrame(quint16 value, float gamma = 1.0f)
{
    SectorFrame frame(90, 1, 400);
    frame.fillAll(value);
    frame.m_head.gamma = gamma;
    frame.m_head.frameSerialNum = 42;
    return frame;
}

} // namespace

class tst_Processing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void batchSize_data();
    void batchSize();
    void pointCloudFileName_data();
    void pointCloudFileName();
    void drawImagePublishesColouredSector();
    void storedImageAtFullScale();
    void readingStoresIntoHistory();
    void initClearsImageAndStore();
    void beamLinesFollowTheLastFrame();
    void unopenablePointCloudFileWarns();
    void shrinkingBatchIsDrawnAtOnce();
    void liveCraftedFramesAsTheirWholeFrames();
    void liveNoInfinitePoint_data();
    void liveNoInfinitePoint();
    void brightnessFollowsFileStatusAndReplayOffset();

private:
    InformationCenter *m_center = nullptr;
    PacketRing *m_ring = nullptr;
};

void tst_Processing::initTestCase()
{
    qRegisterMetaType<packageInfo>("packageInfo");
    m_center = new InformationCenter(this);
}

// A picture about every tenth of a second of frames: the frame count nearest to
// 0.1 s / work cycle, 1 to 20.
void tst_Processing::batchSize_data()
{
    QTest::addColumn<float>("workCycle");
    QTest::addColumn<int>("n");
    QTest::newRow("0.01") << 0.01f << 10;
    QTest::newRow("0.015: 6.7 frames") << 0.015f << 7;
    QTest::newRow("0.06: 1.7 frames") << 0.06f << 2;
    QTest::newRow("0.1") << 0.1f << 1;
    QTest::newRow("0.5") << 0.5f << 1;
    QTest::newRow("0.02") << 0.02f << 5;
    QTest::newRow("0.001") << 0.001f << 20;
    QTest::newRow("0") << 0.f << 1;
    QTest::newRow("negative") << -0.01f << 1;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 1;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1;
    QTest::newRow("denormal") << std::numeric_limits<float>::denorm_min() << 20;
}

void tst_Processing::batchSize()
{
    QFETCH(float, workCycle);
    QFETCH(int, n);
    QCOMPARE(Processing::batchSizeFor(workCycle), n);
}

void tst_Processing::pointCloudFileName_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("lower-case extension") << "file:///tmp/rec/a.db"
                                          << "/tmp/rec/aPointCloud.txt";
    QTest::newRow("upper-case extension") << "file:///tmp/b.DB"
                                          << "/tmp/bPointCloud.txt";
    QTest::newRow("no extension") << "file:///tmp/c"
                                  << "/tmp/cPointCloud.txt";
    QTest::newRow("encoded blank") << "file:///tmp/my%20rec.Db"
                                   << "/tmp/my recPointCloud.txt";
    QTest::newRow("plain path") << "/data/x.DB"
                                << "/data/xPointCloud.txt";
}

void tst_Processing::pointCloudFileName()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    QCOMPARE(Processing::pointCloudFileNameFor(url), name);
}

void tst_Processing::drawImagePublishesColouredSector()
{
    Processing processing(&m_ring, &m_center);
    QSignalSpy pixmaps(&processing, &Processing::sigUpdatePixmap);
    QSignalSpy headers(&processing, &Processing::sig_packageInfo);
    SectorFrame frame = fullFrame(65535);
    const packageInfo *heads[] = {&frame.m_head};
    const uchar *data[] = {reinterpret_cast<const uchar *>(frame.m_samples.data())};
    QVERIFY(processing.drawImage(heads, data, &frame.m_bytes, 1));
    QCOMPARE(pixmaps.count(), 1);
    QCOMPARE(headers.count(), 1);
    QCOMPARE(headers[0][0].value<packageInfo>().frameSerialNum, 42u);
    QCOMPARE(pixmaps[0][1].toBool(), true);
    const QImage image = pixmaps[0][0].value<QPixmap>().toImage();
    QCOMPARE(image.size(), QSize(800, 800));
    const QRgb full = ColorTable::instance().color(0, 983);
    const QRgb empty = ColorTable::instance().color(0, 0);
    QCOMPARE(image.pixel(600, 400), full);
    QCOMPARE(image.pixel(200, 399), full);
    QCOMPARE(image.pixel(400, 100), empty);
    QCOMPARE(processing.accImage()[400 * 800 + 600], quint16(65535));
}

void tst_Processing::storedImageAtFullScale()
{
    Processing processing(&m_ring, &m_center);
    QSignalSpy pixmaps(&processing, &Processing::sigUpdatePixmap);
    QSignalSpy headers(&processing, &Processing::sig_packageInfo);
    ImageFrame frame;
    QVERIFY(!processing.renderImageFrame(frame));
    QCOMPARE(pixmaps.count(), 0);

    frame.cols = 800;
    frame.rows = 800;
    frame.image.fill(65535, 640000);
    frame.header.frameSerialNum = 9;
    QVERIFY(processing.renderImageFrame(frame));
    QCOMPARE(pixmaps.count(), 1);
    QCOMPARE(headers[0][0].value<packageInfo>().frameSerialNum, 9u);
    const QImage image = pixmaps[0][0].value<QPixmap>().toImage();
    const QRgb expected = ColorTable::instance().color(0, 983);
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 800; ++x)
            if (image.pixel(x, y) != expected)
                QFAIL("pixel differs from palette 0 entry 983");

    // A frame whose image is shorter than its size says is refused.
    frame.image.resize(1000);
    QVERIFY(!processing.renderImageFrame(frame));
}

void tst_Processing::readingStoresIntoHistory()
{
    Processing processing(&m_ring, &m_center);
    m_center->setFileStatus(InformationCenter::FileStatus::Reading);
    QSignalSpy pixmaps(&processing, &Processing::sigUpdatePixmap);
    QSignalSpy headers(&processing, &Processing::sig_packageInfo);
    QSignalSpy schedule(m_center, &InformationCenter::updateSchedule);
    SectorFrame frame = fullFrame(32768, 2.0f);
    const packageInfo *heads[] = {&frame.m_head};
    const uchar *data[] = {reinterpret_cast<const uchar *>(frame.m_samples.data())};
    QVERIFY(processing.drawImage(heads, data, &frame.m_bytes, 1));
    QVERIFY(processing.drawImage(heads, data, &frame.m_bytes, 1));
    m_center->setFileStatus(InformationCenter::FileStatus::None);

    QCOMPARE(pixmaps.count(), 0);
    QCOMPARE(headers.count(), 0);
    QCOMPARE(schedule.count(), 2);
    QCOMPARE(schedule[0][0].toInt(), 0);
    QCOMPARE(schedule[1][0].toInt(), 1);
    QCOMPARE(int(processing.history().size()), 2);
    const ImageFrame &stored = processing.history().back();
    QCOMPARE(stored.index, 1u);
    QCOMPARE(int(stored.n), 1);
    // The stored copy carries the gamma, the accumulation image does not.
    QCOMPARE(processing.accImage()[400 * 800 + 600], quint16(32768));
    QCOMPARE(stored.image[400 * 800 + 600], quint16(16384));
    processing.clearHistory();
    QCOMPARE(int(processing.history().size()), 0);
}

void tst_Processing::initClearsImageAndStore()
{
    Processing processing(&m_ring, &m_center);
    SectorFrame frame = fullFrame(1000);
    const packageInfo *heads[] = {&frame.m_head};
    const uchar *data[] = {reinterpret_cast<const uchar *>(frame.m_samples.data())};
    processing.drawImage(heads, data, &frame.m_bytes, 1);
    const float point[4] = {1, 2, 3, 4};
    PointCloudCache::instance().appendPoints(point, 1);
    QTest::ignoreMessage(QtDebugMsg, "清空点云缓存");
    emit m_center->clearImageBuffer();
    for (int i = 0; i < 640000; ++i)
        QCOMPARE(int(processing.accImage()[i]), 0);
    quint32 count = 7;
    PointCloudCache::instance().readPoints(&count, nullptr);
    QCOMPARE(count, 0u);
}

void tst_Processing::beamLinesFollowTheLastFrame()
{
    Processing processing(&m_ring, &m_center);
    SectorFrame a = fullFrame(1);
    SectorFrame b = fullFrame(1);
    b.m_head.direction = 359;
    const packageInfo *heads[] = {&a.m_head, &b.m_head};
    const uchar *data[] = {reinterpret_cast<const uchar *>(a.m_samples.data()),
                           reinterpret_cast<const uchar *>(b.m_samples.data())};
    const quint32 bytes[] = {a.m_bytes, b.m_bytes};
    processing.generateImagefor10(heads, data, bytes, 2,
                                  const_cast<quint16 *>(processing.accImage()));
    QCOMPARE(m_center->removeAngle(), -1.0);
    QCOMPARE(m_center->removeAngle2(), 179.0);
}

void tst_Processing::unopenablePointCloudFileWarns()
{
    Processing processing(&m_ring, &m_center);
    QTest::ignoreMessage(QtWarningMsg,
                         "Failed to open point cloud file: /nonexistent-dir/xPointCloud.txt");
    emit m_center->sigSaveFile(QStringLiteral("file:///nonexistent-dir/x.DB"));
    emit m_center->sigStopSaveFile();
}

void tst_Processing::shrinkingBatchIsDrawnAtOnce()
{
    // Seven frames under a work cycle of 0.01 s (batches of 10), then one of 0.02 s (batches of
    // 5): that frame takes slot 7 and the batch is drawn at once, from slots 0 to 4 only.
    PacketRing *packets = new PacketRing(packetSize, 50000);
    Processing processing(&packets, &m_center);
    processing.init();
    int results = 0;
    int pixmaps = 0;
    connect(&processing, &Processing::sigProcessOK, this, [&](packageInfo, float) { ++results; });
    connect(&processing, &Processing::sigUpdatePixmap, this, [&](QPixmap, bool) { ++pixmaps; });
    packageInfo head = SimSonar::defaultHeader();
    const auto samples = [](quint32, int) { return quint16(500); };
    for (int k = 0; k < 8; ++k) {
        head.frameSerialNum = quint32(k);
        head.direction = 20.f * k;
        head.workCycle = k < 7 ? 0.01f : 0.02f;
        for (const QByteArray &packet : SimSonar::buildFrame(head, samples))
            packets->push(packet.constData(), quint16(packet.size()));
    }
    processing.start();
    QTRY_COMPARE(results, 8);
    QTRY_COMPARE(pixmaps, 1);
    processing.stop();
    delete packets;

    // Beam A of frame k paints around bearing 20k.
    int painted[8] = {};
    for (int row = 0; row < 800; ++row) {
        for (int col = 0; col < 800; ++col) {
            const double a = reference::pixelAngle(row, col);
            const int k = int(std::lround(a / 20));
            if (k >= 0 && k < 8 && std::fabs(a - 20 * k) < 0.4
                && processing.accImage()[row * 800 + col] != 0)
                ++painted[k];
        }
    }
    for (int k = 0; k < 8; ++k)
        QVERIFY2((painted[k] > 0) == (k < 5),
                 qPrintable(QStringLiteral("frame %1: %2 pixels").arg(k).arg(painted[k])));
}

// Frames that claim far more than their packets delivered, from a sender on the LAN: the
// live loop stores the points and paints the sector image that the whole frames (zeros where
// nothing was delivered) give, the image as the literal per-pixel drawing makes it.
void tst_Processing::liveCraftedFramesAsTheirWholeFrames()
{
    const QByteArray bytes = SimSonar::claimingMixBytes();
    const std::vector<SimSonar::WholeFrame> frames = SimSonar::wholeFrames(bytes);
    PacketRing *packets = new PacketRing(packetSize, 50000);
    m_center->setSpeedMove(0.25f);
    Processing processing(&packets, &m_center);
    processing.init();
    int results = 0;
    connect(&processing, &Processing::sigProcessOK, this, [&](packageInfo, float) { ++results; });
    for (qsizetype at = 0; at + packetSize <= bytes.size(); at += packetSize)
        packets->push(bytes.constData() + at, packetSize);
    processing.start();
    QTRY_COMPARE_WITH_TIMEOUT(results, int(frames.size()), 60000);
    processing.stop();
    delete packets;
    m_center->setSpeedMove(0.1f);

    const std::vector<CloudPoint> expected =
        expectedPoints(frames, [](const packageInfo &) { return 0.25f; });
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(points.size(), expected.size());
    QVERIFY(std::memcmp(points.data(), expected.data(), points.size() * sizeof(CloudPoint)) == 0);

    // A work cycle of 0.02 s: batches of 5 frames; a batch not yet full is not drawn.
    std::vector<quint16> acc(640000, 0);
    for (std::size_t first = 0; first + 5 <= frames.size(); first += 5) {
        std::vector<const packageInfo *> heads;
        std::vector<const uchar *> data;
        std::vector<quint32> sizes;
        for (std::size_t k = first; k < first + 5; ++k) {
            heads.push_back(&frames[k].head);
            data.push_back(reinterpret_cast<const uchar *>(frames[k].data.constData()));
            sizes.push_back(quint32(frames[k].data.size()));
        }
        reference::generateImage(heads.data(), data.data(), sizes.data(), 5, acc.data());
    }
    QVERIFY(std::memcmp(processing.accImage(), acc.data(), acc.size() * sizeof(quint16)) == 0);
}

void tst_Processing::liveNoInfinitePoint_data()
{
    QTest::addColumn<float>("distReso");
    QTest::addColumn<float>("speed");
    QTest::addColumn<int>("frames");
    // Whether some of the frames' points must be left out.
    QTest::addColumn<bool>("dropped");
    const float largest = std::numeric_limits<float>::max();
    QTest::newRow("distReso 3.4e38") << largest << 3.0f << 20 << true;
    QTest::newRow("distReso -3.4e38") << -largest << 3.0f << 20 << true;
    QTest::newRow("distReso 1e36: ranges that a float still holds") << 1e36f << 3.0f << 20 << false;
    QTest::newRow("speed 3.4e38") << 0.01f << largest << 1100 << true;
    QTest::newRow("speed -3.4e38") << 0.01f << -largest << 1100 << true;
    QTest::newRow("speed infinite")
        << 0.01f << std::numeric_limits<float>::infinity() << 20 << false;
}

// Ordinary frames, then frames whose header (or the operator's speed) makes a range or the
// along-track distance too large for a float, on the live path: those points are neither
// stored nor written to the point-cloud file, the others are, and the largest beam range sent
// to the 3D view stays a finite number.
void tst_Processing::liveNoInfinitePoint()
{
    QFETCH(float, distReso);
    QFETCH(float, speed);
    QFETCH(int, frames);
    QFETCH(bool, dropped);
    packageInfo head = SimSonar::defaultHeader();
    head.dataHeight = 190;
    head.packNumPerFrame = 1;
    head.workCycle = 0.02f;
    const auto samples = SimSonar::echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50);
    QByteArray bytes;
    for (int k = 0; k < 10 + frames; ++k) {
        head.frameSerialNum = quint32(k);
        head.direction = float(k % 36) * 10;
        head.distReso = k < 10 ? 0.01f : distReso;
        for (const QByteArray &packet : SimSonar::buildFrame(head, samples))
            bytes += packet;
    }

    m_center->setSpeedMove(speed);
    PacketRing *packets = new PacketRing(packetSize, 50000);
    Processing processing(&packets, &m_center);
    processing.init();
    QTemporaryDir dir;
    emit m_center->sigSaveFile(
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("hostile.DB"))).toString());
    int results = 0;
    std::vector<float> ranges;
    connect(&processing, &Processing::sigProcessOK, this, [&](packageInfo, float widest) {
        ++results;
        ranges.push_back(widest);
    });
    for (qsizetype at = 0; at + packetSize <= bytes.size(); at += packetSize)
        packets->push(bytes.constData() + at, packetSize);
    processing.start();
    QTRY_COMPARE_WITH_TIMEOUT(results, 10 + frames, 60000);
    processing.stop();
    emit m_center->sigStopSaveFile();
    delete packets;
    m_center->setSpeedMove(0.1f);

    float widest = -1;
    const std::vector<CloudPoint> expected = expectedPoints(
        SimSonar::wholeFrames(bytes), [speed](const packageInfo &) { return speed; }, &widest);
    const std::vector<CloudPoint> points = storedPoints();
    QCOMPARE(expected.size() < std::size_t(2 * (10 + frames)), dropped);
    QVERIFY(allFinite(points));
    QCOMPARE(points.size(), expected.size());
    QVERIFY(std::memcmp(points.data(), expected.data(), points.size() * sizeof(CloudPoint)) == 0);
    for (const float r : ranges)
        QVERIFY(std::isfinite(r));
    QCOMPARE(ranges.back(), widest);
    QVERIFY(widest > 1);

    std::ostringstream want;
    want.imbue(std::locale::classic());
    for (const CloudPoint &p : expected)
        want << p.alongTrack << ' ' << p.x << ' ' << p.y << ' ' << p.strength << '\n';
    QFile file(dir.filePath(QStringLiteral("hostilePointCloud.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(text, QByteArray::fromStdString(want.str()));
    QVERIFY(!text.contains("inf") && !text.contains("nan"));
}

// Leaving or entering anything but a replay sets the shown brightness back to 0; a replay
// keeps it, and its brightness control asks for a gain of sqrt(2) per step.
void tst_Processing::brightnessFollowsFileStatusAndReplayOffset()
{
    Processing processing(&m_ring, &m_center);
    m_center->setBrightness(9);
    m_center->f_setFileStatusReading();
    QCOMPARE(m_center->brightness(), quint8(9));
    QCOMPARE(processing.replayBrightnessGain(), 1.0);
    emit m_center->sigBrightnessOffset(2);
    QCOMPARE(processing.replayBrightnessGain(), 2.0);
    emit m_center->sigBrightnessOffset(-2);
    QCOMPARE(processing.replayBrightnessGain(), 0.5);
    QCOMPARE(m_center->brightness(), quint8(9));

    m_center->f_setFileStatusNone();
    QCOMPARE(m_center->brightness(), quint8(0));
    m_center->setBrightness(9);
    m_center->f_setFileStatusSaving();
    QCOMPARE(m_center->brightness(), quint8(0));
    m_center->setBrightness(9);
    m_center->f_setFileStatusNone();
    QCOMPARE(m_center->brightness(), quint8(0));
}

QTEST_MAIN(tst_Processing)
#include "tst_processing.moc"
