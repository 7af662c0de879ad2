#include "processClass/PolarImage.h"
#include "support/ReferenceSectorImage.h"
#include "support/SectorFrames.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <iterator>
#include <limits>
#include <vector>

namespace {

PolarImage::Centres draw(PolarImage &image, const std::vector<SectorFrame> &frames)
{
    SectorBatch b(frames);
    return image.generateImagefor10(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                    image.accImage());
}

quint16 pixel(const PolarImage &image, int row, int col)
{
    return image.accImage()[row * PolarImage::imageCols + col];
}

int expectedBin(int row, int col)
{
    return int(std::round(40.0 * reference::pixelDistance(row, col) / 400 / double(0.1f)));
}

// Puts one value a crafted packet could carry into one field the accumulation reads.
void spoil(packageInfo &head, QRandomGenerator &rng)
{
    const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            3e38f,
                            -3e38f,
                            0.f,
                            -40.f,
                            1e-30f,
                            400.f};
    const float v = values[rng.bounded(int(std::size(values)))];
    switch (rng.bounded(6)) {
    case 0:
        head.direction = v;
        break;
    case 1:
        head.vez25EDirectionAngle = v;
        break;
    case 2:
        head.maxDist = v;
        break;
    case 3:
        head.distReso = v;
        break;
    case 4:
        head.dataHeight = rng.generate();
        break;
    default:
        head.numPerRow = quint16(rng.generate());
        break;
    }
}

// The first pixel where the accumulation and the reference differ, or an empty string.
QString firstDifference(const std::vector<quint16> &slow, const quint16 *fast)
{
    for (int i = 0; i < 640000; ++i)
        if (slow[i] != fast[i])
            return QStringLiteral("row %1 col %2: fast %3, reference %4")
                .arg(i / 800)
                .arg(i % 800)
                .arg(fast[i])
                .arg(slow[i]);
    return QString();
}

} // namespace

class tst_PolarImage : public QObject
{
    Q_OBJECT

private slots:
    void tables();
    void beamsLeftAndRight();
    void earlierFrameWinsAndBeamBOverridesA();
    void sectorBoundsAreStrict();
    void centres_data();
    void centres();
    void secondBeamRules_data();
    void secondBeamRules();
    void fullTurnLeavesNoGap();
    void frameBytesBoundTheSamples();
    void unusableScaleSkipsFrame_data();
    void unusableScaleSkipsFrame();
    void warnings();
    void fastMatchesReference();
    void wideSectorsMatchReference_data();
    void wideSectorsMatchReference();
    void framesInPiecesMatchReference();
};

void tst_PolarImage::tables()
{
    PolarImage image;
    const auto &angle = image.angleTable();
    const auto &dist = image.distTable();
    QCOMPARE(int(angle.size()), 640000);
    QCOMPARE(dist[399 * 800 + 399], std::sqrt(0.5));
    QVERIFY(std::fabs(dist[0] - 564.98) < 0.01);
    // Table row 0 is the bottom image row: its middle points straight down.
    QVERIFY(std::fabs(std::fabs(angle[0 * 800 + 400]) - 180.0) < 0.1);
    QVERIFY(std::fabs(angle[799 * 800 + 400]) < 0.1);
    QVERIFY(std::fabs(angle[400 * 800 + 799] - 90.0) < 0.1);
}

void tst_PolarImage::beamsLeftAndRight()
{
    PolarImage image;
    std::fill(image.accImage(), image.accImage() + 640000, quint16(7));
    std::vector<SectorFrame> frames{SectorFrame(90, 1, 400).fill(1000, 5000)};
    draw(image, frames);
    // Right of the centre lies bearing 90 (beam A), left of it bearing -90 (beam B).
    for (int col : {460, 600, 780})
        QCOMPARE(int(pixel(image, 400, col)), 1000 + expectedBin(400, col));
    for (int col : {20, 199, 340})
        QCOMPARE(int(pixel(image, 399, col)), 5000 + expectedBin(399, col));
    // Centre, top and bottom are outside both sectors.
    QCOMPARE(int(pixel(image, 399, 399)), 7);
    QCOMPARE(int(pixel(image, 400, 400)), 7);
    QCOMPARE(int(pixel(image, 10, 400)), 7);
    QCOMPARE(int(pixel(image, 790, 399)), 7);
}

void tst_PolarImage::earlierFrameWinsAndBeamBOverridesA()
{
    PolarImage image;
    // The older frame reaches only 250 bins; beyond, the newer frame paints.
    std::vector<SectorFrame> frames{SectorFrame(90, 1, 250).fill(100, 100),
                                    SectorFrame(90, 1, 400).fill(2000, 2000)};
    draw(image, frames);
    QCOMPARE(int(pixel(image, 400, 500)), 100 + expectedBin(400, 500));
    QCOMPARE(int(pixel(image, 400, 750)), 2000 + expectedBin(400, 750));

    // Beam B of a frame at -90 covers bearing 90 too: B wins over A of the other frame.
    PolarImage both;
    std::vector<SectorFrame> crossed{SectorFrame(90, 1, 400).fill(100, 300),
                                     SectorFrame(-90, 1, 400).fill(2000, 9000)};
    draw(both, crossed);
    QCOMPARE(int(pixel(both, 400, 600)), 9000 + expectedBin(400, 600));
    QCOMPARE(int(pixel(both, 400, 200)), 300 + expectedBin(400, 200));
}

void tst_PolarImage::sectorBoundsAreStrict()
{
    PolarImage image;
    std::vector<SectorFrame> frames{SectorFrame(10, 5, 400).fill(1000, 5000)};
    draw(image, frames);
    for (int row = 0; row < 800; ++row) {
        for (int col = 0; col < 800; ++col) {
            const double a = reference::pixelAngle(row, col);
            const int bin = expectedBin(row, col);
            const quint16 v = pixel(image, row, col);
            if (bin >= 400) {
                QCOMPARE(int(v), 0);
            } else if (a > 7 && a < 13) {
                QCOMPARE(int(v), 1000 + bin);
            } else if (a > -173 && a < -167) {
                QCOMPARE(int(v), 5000 + bin);
            } else if (v != 0) {
                QFAIL(qPrintable(
                    QStringLiteral("pixel %1,%2 at bearing %3 painted").arg(row).arg(col).arg(a)));
            }
        }
    }
}

void tst_PolarImage::centres_data()
{
    QTest::addColumn<float>("direction");
    QTest::addColumn<double>("centreA");
    QTest::addColumn<double>("centreB");
    QTest::newRow("10") << 10.f << 10.0 << -170.0;
    QTest::newRow("180") << 180.f << 180.0 << 0.0;
    QTest::newRow("-190") << -190.f << 170.0 << -10.0;
    QTest::newRow("359") << 359.f << -1.0 << 179.0;
}

void tst_PolarImage::centres()
{
    QFETCH(float, direction);
    QFETCH(double, centreA);
    QFETCH(double, centreB);
    PolarImage image;
    std::vector<SectorFrame> frames{SectorFrame(0, 1, 10), SectorFrame(direction, 1, 10)};
    const auto c = draw(image, frames);
    QVERIFY(c.valid);
    QCOMPARE(c.centreA, centreA);
    QCOMPARE(c.centreB, centreB);
}

void tst_PolarImage::secondBeamRules_data()
{
    QTest::addColumn<int>("firstBlank");
    QTest::addColumn<int>("lastNumPerRow");
    QTest::addColumn<bool>("beamB");
    QTest::newRow("two beams") << 0 << 2 << true;
    QTest::newRow("blank 2 on the first frame") << 2 << 2 << false;
    QTest::newRow("one sample per row") << 0 << 1 << false;
    QTest::newRow("three samples per row") << 0 << 3 << false;
}

void tst_PolarImage::secondBeamRules()
{
    QFETCH(int, firstBlank);
    QFETCH(int, lastNumPerRow);
    QFETCH(bool, beamB);
    PolarImage image;
    std::vector<SectorFrame> frames{
        SectorFrame(90, 1, 400, 2).fill(1000, 5000),
        SectorFrame(0, 1, 400, quint16(lastNumPerRow)).fill(3000, 6000)};
    frames[0].m_head.blank = quint8(firstBlank);
    draw(image, frames);
    // Beam B of the first frame (bearing -90) only with two beams; the sample stride is the
    // last frame's numPerRow.
    const int bin = expectedBin(399, 200);
    QCOMPARE(int(pixel(image, 399, 200)), beamB ? 5000 + bin : 0);
    const int binA = expectedBin(400, 600);
    const quint16 *s = frames[0].m_samples.data();
    QCOMPARE(pixel(image, 400, 600), s[binA * lastNumPerRow]);
}

void tst_PolarImage::fullTurnLeavesNoGap()
{
    PolarImage image;
    std::vector<SectorFrame> frames;
    for (int d = 0; d < 360; ++d)
        frames.push_back(SectorFrame(float(d), 1, 400).fill(1, 1));
    for (int start = 0; start < 360; start += 20)
        draw(image, std::vector<SectorFrame>(frames.begin() + start, frames.begin() + start + 20));
    int zeros = 0;
    for (int row = 0; row < 800; ++row)
        for (int col = 0; col < 800; ++col)
            if (reference::pixelDistance(row, col) < 390 && pixel(image, row, col) == 0)
                ++zeros;
    QCOMPARE(zeros, 0);
}

void tst_PolarImage::frameBytesBoundTheSamples()
{
    // The header claims 4000 bins but only 100 arrived: bins 100 and beyond stay unpainted.
    PolarImage image;
    std::vector<SectorFrame> frames{SectorFrame(90, 1, 100).fill(1000, 5000)};
    frames[0].m_head.dataHeight = 4000;
    draw(image, frames);
    QCOMPARE(int(pixel(image, 400, 480)), 1000 + expectedBin(400, 480));
    QCOMPARE(int(pixel(image, 400, 520)), 0);
    QCOMPARE(int(pixel(image, 399, 320)), 5000 + expectedBin(399, 320));
    QCOMPARE(int(pixel(image, 399, 280)), 0);

    // 101 whole samples and one stray byte: beam A reaches bin 50, beam B only bin 49.
    PolarImage odd;
    std::vector<SectorFrame> cut{SectorFrame(90, 1, 100).fill(1000, 5000)};
    cut[0].m_bytes = 2 * 101 + 1;
    draw(odd, cut);
    QCOMPARE(int(pixel(odd, 400, 449)), 1000 + 50);
    QCOMPARE(int(pixel(odd, 400, 450)), 0);
    QCOMPARE(int(pixel(odd, 399, 351)), 5000 + 49);
    QCOMPARE(int(pixel(odd, 399, 350)), 0);
}

void tst_PolarImage::unusableScaleSkipsFrame_data()
{
    QTest::addColumn<float>("maxDist");
    QTest::addColumn<float>("distReso");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("maxDist 0") << 0.f << 0.1f;
    QTest::newRow("maxDist NaN") << nan << 0.1f;
    QTest::newRow("maxDist inf") << inf << 0.1f;
    QTest::newRow("distReso 0") << 40.f << 0.f;
    QTest::newRow("distReso NaN") << 40.f << nan;
    QTest::newRow("distReso -inf") << 40.f << -inf;
    QTest::newRow("distReso tiny") << 40.f << 1e-30f;
}

void tst_PolarImage::unusableScaleSkipsFrame()
{
    QFETCH(float, maxDist);
    QFETCH(float, distReso);
    PolarImage image;
    std::vector<SectorFrame> frames{SectorFrame(90, 1, 400, 2, maxDist, distReso).fill(1000, 5000)};
    draw(image, frames);
    for (int i = 0; i < 640000; ++i)
        QCOMPARE(int(image.accImage()[i]), 0);
}

void tst_PolarImage::warnings()
{
    PolarImage image;
    std::vector<SectorFrame> frames{SectorFrame(90, 1, 400).fill(1000, 5000)};
    SectorBatch b(frames);
    QTest::ignoreMessage(QtWarningMsg, "generateImagefor10: invalid params");
    QVERIFY(!image
                 .generateImagefor10(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), 0,
                                     image.accImage())
                 .valid);
    QTest::ignoreMessage(QtWarningMsg, "generateImagefor10: invalid params");
    QVERIFY(
        !image.generateImagefor10(nullptr, b.m_data.data(), b.m_bytes.data(), 1, image.accImage())
             .valid);

    // A missing header inside a batch: the other frames are drawn.
    std::vector<const packageInfo *> heads{nullptr, b.m_heads[0]};
    std::vector<const uchar *> data{b.m_data[0], b.m_data[0]};
    std::vector<quint32> bytes{b.m_bytes[0], b.m_bytes[0]};
    QTest::ignoreMessage(QtWarningMsg, "generateImagefor10: null frameHeadPtr at 0");
    QVERIFY(image.generateImagefor10(heads.data(), data.data(), bytes.data(), 2, image.accImage())
                .valid);
    QCOMPARE(int(pixel(image, 400, 600)), 1000 + expectedBin(400, 600));
    for (int i = 0; i < 640000; ++i)
        QVERIFY(image.accImage()[i] == 0 || image.accImage()[i] >= 1000);

    // More than 20000 frames: the first 20000 are drawn, frame 19999 gives the centres.
    std::vector<SectorFrame> many;
    many.reserve(20001);
    for (int k = 0; k < 20001; ++k)
        many.push_back(SectorFrame(k == 19999 ? 33.f : (k == 20000 ? 77.f : 0.f), 0.5f, 4));
    PolarImage big;
    QTest::ignoreMessage(QtWarningMsg,
                         "generateImagefor10: num too large, truncating 20001 -> 20000");
    const auto c = draw(big, many);
    QCOMPARE(c.centreA, 33.0);
}

void tst_PolarImage::fastMatchesReference()
{
    QRandomGenerator rng(20240611);
    PolarImage image;
    std::vector<quint16> slow(640000, 0);
    for (int batch = 0; batch < 32; ++batch) {
        const int n = 1 + int(rng.bounded(20));
        const double step = std::vector<double>{0.225, 0.45, 0.9, 1.8, 3.6, 7.2}[rng.bounded(6)];
        double direction = rng.bounded(720.0) - 360.0;
        const float maxDist = float(std::vector<double>{5, 20, 40, 75, 150}[rng.bounded(5)]);
        std::vector<SectorFrame> frames;
        for (int k = 0; k < n; ++k) {
            const quint32 bins = 100 + rng.bounded(4000u);
            const quint16 npr = rng.bounded(8) == 0 ? quint16(rng.bounded(4)) : quint16(2);
            // Usually the range of bins spans maxDist; sometimes short or long.
            const float reso =
                float(maxDist / bins * std::vector<double>{1, 1, 0.5, 1.7}[rng.bounded(4)]);
            SectorFrame f(float(direction), float(step), bins, npr, maxDist, reso);
            for (auto &s : f.m_samples)
                s = quint16(rng.bounded(65536));
            f.m_head.blank = rng.bounded(6) == 0 ? 2 : 0;
            if (rng.bounded(5) == 0)
                f.m_bytes = rng.bounded(f.m_bytes + 1);
            if (rng.bounded(8) == 0)
                spoil(f.m_head, rng);
            frames.push_back(std::move(f));
            direction += step * (rng.bounded(10) == 0 ? -1 : 1);
        }
        SectorBatch b(frames);
        if (n > 2 && rng.bounded(4) == 0)
            b.m_data[1] = nullptr;
        image.generateImagefor10(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                 image.accImage());
        reference::generateImage(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                 slow.data());
        const QString difference = firstDifference(slow, image.accImage());
        if (!difference.isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("batch %1 differs first at %2").arg(batch).arg(difference)));
    }
}

void tst_PolarImage::wideSectorsMatchReference_data()
{
    QTest::addColumn<float>("step");
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("1e6") << 1e6f;
    QTest::newRow("5e31") << 5e31f;
    QTest::newRow("largest float") << std::numeric_limits<float>::max();
    QTest::newRow("infinite") << inf;
    QTest::newRow("minus infinite") << -inf;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("exactly a turn") << 300.f;
    QTest::newRow("just short of a turn") << 299.99f;
    QTest::newRow("half a turn") << 150.f;
    QTest::newRow("two turns") << 600.f;
}

void tst_PolarImage::wideSectorsMatchReference()
{
    // Batches where most frames carry the wide scan step and the rest a normal one, with
    // ranges that differ from frame to frame, so that an older frame paints a disc and newer
    // ones the rings beyond it; some frames hold fewer bytes than their header claims.
    QFETCH(float, step);
    QRandomGenerator rng(quint32(qHash(QByteArray(QTest::currentDataTag()))));
    PolarImage image;
    std::vector<quint16> slow(640000, 0);
    for (int batch = 0; batch < 4; ++batch) {
        const int n = batch == 0 ? 20 : 1 + int(rng.bounded(20));
        const float reso = float(std::vector<double>{0.01, 0.05, 0.1, -0.1}[rng.bounded(4)]);
        std::vector<SectorFrame> frames;
        for (int k = 0; k < n; ++k) {
            const bool wide = rng.bounded(4) != 0;
            const float direction = rng.bounded(10) == 0 ? 1e6f : float(rng.bounded(800.0) - 400.0);
            const float maxDist = float(std::vector<double>{2, 5, 20, 40, 75, -40}[rng.bounded(6)]);
            const quint32 bins = 50 + rng.bounded(1000u);
            SectorFrame f(direction, wide ? step : 0.9f, bins, 2, maxDist, reso);
            for (auto &s : f.m_samples)
                s = quint16(rng.bounded(65536));
            if (rng.bounded(5) == 0)
                f.m_bytes = rng.bounded(f.m_bytes + 1);
            frames.push_back(std::move(f));
        }
        SectorBatch b(frames);
        image.generateImagefor10(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                 image.accImage());
        reference::generateImage(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                 slow.data());
        const QString difference = firstDifference(slow, image.accImage());
        if (!difference.isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("batch %1 differs first at %2").arg(batch).arg(difference)));
    }
}

// Frames kept in pieces, as a replay keeps frames whose packets delivered only parts of what
// their headers claim: each frame's bytes outside its pieces are zeros, and the image is the
// literal drawing of the whole frames. The pieces are copies elsewhere, so a read of the whole
// frame's memory would not find the bytes.
void tst_PolarImage::framesInPiecesMatchReference()
{
    QRandomGenerator rng(97);
    const qint64 chunk = FrameBuffer::chunkBytes;
    PolarImage image;
    std::vector<quint16> slow(640000, 0);
    for (int batch = 0; batch < 16; ++batch) {
        const int n = 1 + int(rng.bounded(20));
        const float step = float(std::vector<double>{0.9, 3.6, 1e6}[rng.bounded(3)]);
        std::vector<SectorFrame> frames;
        for (int k = 0; k < n; ++k) {
            const quint32 bins = 100 + rng.bounded(6000u);
            SectorFrame f(float(rng.bounded(360.0)), step, bins, 2, 40, float(40.0 / bins));
            for (auto &s : f.m_samples)
                s = quint16(rng.bounded(65536));
            if (rng.bounded(4) == 0)
                f.m_bytes = rng.bounded(f.m_bytes + 1);
            frames.push_back(std::move(f));
        }
        std::vector<std::vector<uchar>> kept(frames.size());
        std::vector<std::vector<FrameBuffer::Piece>> pieces(frames.size());
        for (std::size_t k = 0; k < frames.size(); ++k) {
            uchar *bytes = reinterpret_cast<uchar *>(frames[k].m_samples.data());
            const qint64 size = frames[k].m_bytes;
            std::vector<std::pair<qint64, qint64>> runs;
            for (qint64 c = 0; c * chunk < size; ++c) {
                const qint64 begin = c * chunk;
                const qint64 end = std::min(begin + chunk, size);
                if (rng.bounded(3) == 0) {
                    std::fill(bytes + begin, bytes + end, 0);
                    continue;
                }
                if (!runs.empty() && runs.back().second == begin)
                    runs.back().second = end;
                else
                    runs.push_back({begin, end});
            }
            kept[k].reserve(std::size_t(size));
            for (const auto &run : runs)
                kept[k].insert(kept[k].end(), bytes + run.first, bytes + run.second);
            qint64 at = 0;
            for (const auto &run : runs) {
                pieces[k].push_back({run.first, run.second, kept[k].data() + at});
                at += run.second - run.first;
            }
        }
        SectorBatch b(frames);
        image.generateImagefor10(b.m_heads.data(), pieces.data(), b.m_bytes.data(), b.size(),
                                 image.accImage());
        reference::generateImage(b.m_heads.data(), b.m_data.data(), b.m_bytes.data(), b.size(),
                                 slow.data());
        const QString difference = firstDifference(slow, image.accImage());
        if (!difference.isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("batch %1 differs first at %2").arg(batch).arg(difference)));
    }
}

QTEST_APPLESS_MAIN(tst_PolarImage)
#include "tst_polarimage.moc"
