#include "processClass/EchoProcessor.h"
#include "processClass/FrameAssembler.h"
#include "processClass/FrameBuffer.h"
#include "support/ReferenceData.h"
#include "support/WalkedPeaks.h"

#include <QList>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

// The nearest range bins, where the transducer still rings, hold no echo.
constexpr int nearBlank = 60;

// The data path's low-pass filter as SciPy designs it: order 64, cut-off 0.05, Hamming.
std::vector<double> referenceTaps()
{
    for (const auto &line : readReferenceLines(KORVESSA_TEST_DATA_DIR "/firwin_taps.txt")) {
        ReferenceFields f(line);
        const int type = f.integer();
        const QByteArray window = f.text();
        const int order = f.integer();
        const std::vector<double> cuts = f.reals(f.integer());
        if (type == 0 && window == "hamming" && order == 64 && cuts == std::vector<double>{0.05})
            return f.reals(f.integer());
    }
    qFatal("no reference taps for the data path's filter");
}

// Frame data as the assembler hands it over: per range bin beam A's then beam B's
// little-endian 16-bit sample.
struct Frame
{
    explicit Frame(int bins) : m_bytes(std::size_t(bins) * 4, 0) {}
    void set(int bin, int beam, quint16 v)
    {
        m_bytes[std::size_t(4 * bin + 2 * beam)] = quint8(v & 0xff);
        m_bytes[std::size_t(4 * bin + 2 * beam + 1)] = quint8(v >> 8);
    }
    quint16 get(int bin, int beam) const
    {
        return quint16(m_bytes[std::size_t(4 * bin + 2 * beam)]
                       | (m_bytes[std::size_t(4 * bin + 2 * beam + 1)] << 8));
    }
    // A Gaussian echo, symmetric about its centre bin to the last sample.
    void echo(int beam, int centre, double amplitude, double sigma = 6)
    {
        const int bins = int(m_bytes.size() / 4);
        for (int k = 0; k < bins; ++k) {
            const double d = (k - centre) / sigma;
            const double v = std::round(amplitude * std::exp(-0.5 * d * d));
            if (v >= 1)
                set(k, beam, quint16(v));
        }
    }
    qint64 size() const { return qint64(m_bytes.size()); }
    std::vector<quint8> m_bytes;
};

packageInfo headerFor(quint32 bins, float direction = 0, float distReso = 0.05f)
{
    packageInfo h;
    h.dataHeight = bins;
    h.direction = direction;
    h.distReso = distReso;
    h.dataWidth = 1;
    h.numPerRow = 2;
    return h;
}

// The filtered beam at one output index, by direct convolution of the blanked squares.
double filteredAt(const Frame &f, int beam, const std::vector<double> &taps, int index)
{
    const int bins = int(f.m_bytes.size() / 4);
    double sum = 0;
    for (std::size_t k = 0; k < taps.size(); ++k) {
        const int bin = index - int(k);
        if (bin >= nearBlank && bin < bins) {
            const double s = f.get(bin, beam);
            sum += taps[k] * s * s;
        }
    }
    return sum;
}

struct Run
{
    FrameResult result;
    double points[8];
};

Run run(EchoProcessor &p, const packageInfo &h, const Frame &f, qint64 bytes = -2)
{
    Run r;
    std::fill(r.points, r.points + 8, -99.0);
    r.result.angleA = r.result.rangeB = -99;
    p.processFrame(h, f.m_bytes.data(), bytes == -2 ? f.size() : bytes, r.result, r.points);
    return r;
}

bool allZero(const Run &r)
{
    const FrameResult &f = r.result;
    bool zero = f.angleA == 0 && f.angleB == 0 && f.rangeA == 0 && f.rangeB == 0 && f.peakA == 0
                && f.peakB == 0;
    for (double v : r.points)
        zero = zero && v == 0;
    return zero;
}

bool sameRun(const Run &a, const Run &b)
{
    return std::memcmp(&a.result, &b.result, sizeof a.result) == 0
           && std::memcmp(a.points, b.points, sizeof a.points) == 0;
}

// What one packet delivers into a frame: bytes at offset, filled as kind says.
struct Slice
{
    enum Kind { Noise, Echo, Spike, Flat, Zeros };
    qint64 offset;
    qint64 length;
    Kind kind;
};

void deliver(FrameBuffer &frame, const Slice &slice, std::mt19937 &gen)
{
    std::uniform_int_distribution<int> noise(0, 65535);
    std::vector<quint8> bytes(std::size_t(slice.length), 0);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const double d = (double(i) - double(bytes.size()) / 2) / 24.0;
        switch (slice.kind) {
        case Slice::Noise:
            bytes[i] = quint8(noise(gen));
            break;
        case Slice::Echo:
            bytes[i] = quint8(i % 2 ? 200 * std::exp(-0.5 * d * d) : 0);
            break;
        case Slice::Spike:
            bytes[i] = i == bytes.size() / 2 ? 0xff : 0;
            break;
        case Slice::Flat:
            bytes[i] = 0x40;
            break;
        case Slice::Zeros:
            break;
        }
    }
    frame.write(slice.offset, bytes.data(), slice.length);
}

// The strongest echo of one beam taken the literal way over the whole frame: every bin
// squared and blanked, the filter run over all of them, the peaks walked sample by sample,
// those at least half the maximum high and prominent kept, the first of the highest taken.
struct LiteralEcho
{
    bool found = false;
    quint64 index = 0;
    double value = 0;
};

LiteralEcho literalEcho(const quint8 *data, qint64 bins, int beam)
{
    FirFilter filter(256, 64, {0.05}, 0, "hamming");
    std::vector<double> a(std::size_t(bins), 0.0);
    for (qint64 k = nearBlank; k < bins; ++k) {
        const double v = data[4 * k + 2 * beam] | (data[4 * k + 2 * beam + 1] << 8);
        a[std::size_t(k)] = v * v;
    }
    std::vector<double> f(std::size_t(bins) + 65, 0.0);
    filter.apply(a.data(), int(bins), f.data());
    const int length = int(bins) + 33;
    double top = 0;
    for (int i = 0; i < length; ++i)
        top = std::max(top, f[std::size_t(i)]);
    LiteralEcho echo;
    for (const PeakRecord &p : walkedPeaks(f.data(), length)) {
        const bool kept = p.value >= 0.5 * top && (top <= 0 || p.prominence >= 0.5 * top);
        if (kept && p.value > echo.value)
            echo = {true, p.index, p.value};
    }
    return echo;
}

// A frame of dataBytes bytes built from slices in a frame buffer, processed with its spans:
// the same result, bit for bit, as the whole frame processed at once, whose echoes are those
// of the literal chain.
void checkSparseFrame(EchoProcessor &p, const std::vector<Slice> &slices, qint64 dataBytes,
                      quint32 dataHeight, std::mt19937 &gen)
{
    FrameBuffer frame(FrameAssembler::frameCapacity());
    for (const Slice &s : slices)
        deliver(frame, s, gen);
    packageInfo h = headerFor(dataHeight, 30, 0.05f);
    std::vector<FrameBuffer::Span> spans;
    frame.spans(dataBytes, spans);

    Run sparse;
    p.processFrame(h, frame.data(), dataBytes, spans, sparse.result, sparse.points);
    Run whole;
    p.processFrame(h, frame.data(), dataBytes, whole.result, whole.points);
    QVERIFY(sameRun(sparse, whole));

    const qint64 bins = EchoProcessor::usableBins(h, dataBytes);
    const double ranges[2] = {whole.result.rangeA, whole.result.rangeB};
    const double peaks[2] = {whole.result.peakA, whole.result.peakB};
    for (int beam = 0; beam < 2; ++beam) {
        const LiteralEcho want = literalEcho(frame.data(), bins, beam);
        QCOMPARE(peaks[beam], want.value);
        QCOMPARE(ranges[beam], want.found ? (double(want.index) - 32) * double(0.05f) : 0.0);
    }
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Slice>)

class TstEchoProcessor : public QObject
{
    Q_OBJECT

private slots:
    void echoOnBothBeams_data();
    void echoOnBothBeams();
    void rangeOfIndex132();
    void matchesReferenceFrames();
    void noEcho_data();
    void noEcho();
    void oneBeamOnly();
    void equalPeaksTakeTheLowerIndex();
    void binsBoundedByTheBytesPresent();
    void workArraysCarryNothingOver();
    void sparseFramesAsTheirWholeFrames_data();
    void sparseFramesAsTheirWholeFrames();
    void randomSparseFramesAsTheirWholeFrames();
};

void TstEchoProcessor::echoOnBothBeams_data()
{
    QTest::addColumn<float>("direction");
    QTest::addColumn<double>("angleA");
    QTest::addColumn<double>("angleB");
    QTest::newRow("0") << 0.0f << 180.0 << 0.0;
    QTest::newRow("90") << 90.0f << 270.0 << 90.0;
    QTest::newRow("-90") << -90.0f << 90.0 << 270.0;
    QTest::newRow("200") << 200.0f << 20.0 << 200.0;
    QTest::newRow("359.5") << 359.5f << 179.5 << 359.5;
    QTest::newRow("-600 stays in range") << -600.0f << 300.0 << 120.0;
}

void TstEchoProcessor::echoOnBothBeams()
{
    QFETCH(float, direction);
    QFETCH(double, angleA);
    QFETCH(double, angleB);

    const int bins = 1000, echoA = 250, echoB = 731;
    Frame f(bins);
    f.echo(0, echoA, 5000);
    f.echo(1, echoB, 12000, 4);
    const packageInfo h = headerFor(bins, direction, 0.05f);
    EchoProcessor p;
    const Run r = run(p, h, f);

    QCOMPARE(r.result.angleA, angleA);
    QCOMPARE(r.result.angleB, angleB);
    // The filter's delay of 32 bins is taken off: the range is the echo's own bin.
    QCOMPARE(r.result.rangeA, echoA * double(0.05f));
    QCOMPARE(r.result.rangeB, echoB * double(0.05f));
    const std::vector<double> taps = referenceTaps();
    const double wantA = filteredAt(f, 0, taps, echoA + 32);
    const double wantB = filteredAt(f, 1, taps, echoB + 32);
    QVERIFY(std::abs(r.result.peakA - wantA) <= 1e-9 * wantA);
    QVERIFY(std::abs(r.result.peakB - wantB) <= 1e-9 * wantB);

    QCOMPARE(r.points[0], 0.0);
    QCOMPARE(r.points[4], 0.0);
    QVERIFY(std::abs(r.points[1] - std::sin(angleA * M_PI / 180) * r.result.rangeA) < 1e-12);
    QVERIFY(std::abs(r.points[2] - std::cos(angleA * M_PI / 180) * r.result.rangeA) < 1e-12);
    QCOMPARE(r.points[3], r.result.peakA);
    QVERIFY(std::abs(r.points[5] - std::sin(angleB * M_PI / 180) * r.result.rangeB) < 1e-12);
    QVERIFY(std::abs(r.points[6] - std::cos(angleB * M_PI / 180) * r.result.rangeB) < 1e-12);
    QCOMPARE(r.points[7], r.result.peakB);
}

void TstEchoProcessor::rangeOfIndex132()
{
    Frame f(400);
    f.echo(0, 100, 3000);
    EchoProcessor p;
    const Run r = run(p, headerFor(400, 0, 0.05f), f);
    QCOMPARE(r.result.rangeA, (132 - 32) * double(0.05f));
    QVERIFY(std::abs(r.result.rangeA - 5) < 1e-6);
    QVERIFY(std::abs(r.points[1]) < 1e-9);
    QVERIFY(std::abs(r.points[2] + r.result.rangeA) < 1e-12);
}

// Frames with noise, the whole chain computed once by the reference implementation.
void TstEchoProcessor::matchesReferenceFrames()
{
    int frames = 0;
    EchoProcessor p;
    for (const auto &line : readReferenceLines(KORVESSA_TEST_DATA_DIR "/echo_frame.txt")) {
        ReferenceFields v(line);
        const int bins = v.integer();
        const float distReso = float(v.real());
        const float direction = float(v.real());
        Frame f(bins);
        for (int k = 0; k < bins; ++k) {
            f.set(k, 0, quint16(v.integer()));
            f.set(k, 1, quint16(v.integer()));
        }
        const Run r = run(p, headerFor(quint32(bins), direction, distReso), f);
        const double ranges[2] = {r.result.rangeA, r.result.rangeB};
        const double peaksFound[2] = {r.result.peakA, r.result.peakB};
        const double angles[2] = {r.result.angleA, r.result.angleB};
        for (int beam = 0; beam < 2; ++beam) {
            const int index = v.integer();
            const double value = v.real();
            QVERIFY(index >= 0);
            QCOMPARE(ranges[beam], (index - 32.0) * double(distReso));
            QVERIFY(std::abs(peaksFound[beam] - value) <= 1e-9 * value);
            QCOMPARE(angles[beam], beam == 0 ? double(direction) + 180 : double(direction));
        }
        ++frames;
    }
    QCOMPARE(frames, 3);
}

void TstEchoProcessor::noEcho_data()
{
    QTest::addColumn<int>("bins");
    QTest::addColumn<int>("echoAt");
    QTest::addColumn<quint32>("dataHeight");
    QTest::addColumn<qint64>("dataBytes");
    QTest::addColumn<float>("direction");
    QTest::addColumn<float>("distReso");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("echo inside the near blanking")
        << 500 << 30 << 500u << qint64(-2) << 0.0f << 0.05f;
    QTest::newRow("dataHeight 60") << 60 << 40 << 60u << qint64(-2) << 0.0f << 0.05f;
    QTest::newRow("dataHeight 0") << 100 << 80 << 0u << qint64(-2) << 0.0f << 0.05f;
    QTest::newRow("no bytes") << 500 << 200 << 500u << qint64(0) << 0.0f << 0.05f;
    QTest::newRow("negative byte count") << 500 << 200 << 500u << qint64(-1) << 0.0f << 0.05f;
    QTest::newRow("bytes for 60 bins only") << 500 << 200 << 500u << qint64(243) << 0.0f << 0.05f;
    QTest::newRow("echo beyond dataHeight") << 1000 << 800 << 500u << qint64(-2) << 0.0f << 0.05f;
    QTest::newRow("NaN direction") << 500 << 200 << 500u << qint64(-2) << nan << 0.05f;
    QTest::newRow("infinite direction") << 500 << 200 << 500u << qint64(-2) << inf << 0.05f;
    QTest::newRow("NaN distReso") << 500 << 200 << 500u << qint64(-2) << 0.0f << nan;
}

void TstEchoProcessor::noEcho()
{
    QFETCH(int, bins);
    QFETCH(int, echoAt);
    QFETCH(quint32, dataHeight);
    QFETCH(qint64, dataBytes);
    QFETCH(float, direction);
    QFETCH(float, distReso);
    Frame f(bins);
    f.echo(0, echoAt, 20000, 4);
    f.echo(1, echoAt, 20000, 4);
    EchoProcessor p;
    QVERIFY(allZero(run(p, headerFor(dataHeight, direction, distReso), f, dataBytes)));
}

void TstEchoProcessor::oneBeamOnly()
{
    Frame f(800);
    f.echo(1, 300, 7000);
    EchoProcessor p;
    const Run r = run(p, headerFor(800, 90), f);
    QCOMPARE(r.result.angleA, 0.0);
    QCOMPARE(r.result.rangeA, 0.0);
    QCOMPARE(r.result.peakA, 0.0);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(r.points[i], 0.0);
    QCOMPARE(r.result.angleB, 90.0);
    QCOMPARE(r.result.rangeB, 300 * double(0.05f));
    QVERIFY(r.points[7] > 0);
}

void TstEchoProcessor::equalPeaksTakeTheLowerIndex()
{
    // Two identical echoes at the same place within their filter blocks: the filtered peaks
    // are bit-for-bit equal.
    Frame f(1000);
    f.echo(0, 288, 4000);
    f.echo(0, 288 + 2 * 192, 4000);
    EchoProcessor p;
    const Run r = run(p, headerFor(1000), f);

    std::vector<double> a(1000, 0.0), y(1000 + 65, 0.0);
    for (int k = nearBlank; k < 1000; ++k)
        a[std::size_t(k)] = double(f.get(k, 0)) * f.get(k, 0);
    FirFilter same(256, 64, {0.05}, 0, "hamming");
    same.apply(a.data(), 1000, y.data());
    QCOMPARE(y[288 + 32], y[288 + 2 * 192 + 32]);

    QCOMPARE(r.result.rangeA, 288 * double(0.05f));
}

// An absurd dataHeight from the network reads only the bytes handed over.
void TstEchoProcessor::binsBoundedByTheBytesPresent()
{
    Frame f(1000);
    f.echo(0, 400, 6000);
    f.echo(1, 900, 6000);
    EchoProcessor p;
    const Run exact = run(p, headerFor(1000, 45), f);
    QCOMPARE(exact.result.rangeB, 900 * double(0.05f));

    QCOMPARE(EchoProcessor::usableBins(headerFor(0xFFFFFFFFu), 4000), qint64(1000));
    QCOMPARE(EchoProcessor::usableBins(headerFor(0xFFFFFFFFu), 4003), qint64(1000));
    QCOMPARE(EchoProcessor::usableBins(headerFor(700), 4000), qint64(700));
    QCOMPARE(EchoProcessor::usableBins(headerFor(700), -8), qint64(0));
    QVERIFY(sameRun(run(p, headerFor(0xFFFFFFFFu, 45), f), exact));
    QVERIFY(sameRun(run(p, headerFor(2000, 45), f), exact));
    QVERIFY(sameRun(run(p, headerFor(0xFFFFFFFFu, 45), f, 4003), exact));

    // Fewer bytes than dataHeight: only the bins present, so beam B's far echo is gone.
    const Run cut = run(p, headerFor(1000, 45), f, 4 * 700);
    QCOMPARE(cut.result.rangeA, exact.result.rangeA);
    QCOMPARE(cut.result.rangeB, 0.0);
}

void TstEchoProcessor::workArraysCarryNothingOver()
{
    Frame big(4000);
    big.echo(0, 3500, 30000);
    big.echo(1, 2500, 30000);
    Frame small(300);
    small.echo(0, 200, 500);

    EchoProcessor fresh;
    const Run want = run(fresh, headerFor(300, 10), small);
    EchoProcessor reused;
    run(reused, headerFor(4000, 10), big);
    QVERIFY(sameRun(run(reused, headerFor(300, 10), small), want));
    QCOMPARE(want.result.rangeB, 0.0);
}

void TstEchoProcessor::sparseFramesAsTheirWholeFrames_data()
{
    QTest::addColumn<std::vector<Slice>>("slices");
    QTest::addColumn<qint64>("dataBytes");
    QTest::addColumn<quint32>("dataHeight");
    const qint64 full = FrameAssembler::frameCapacity();
    const quint32 most = quint32(full / 4);
    // One filter block is 192 bins (768 bytes); the filter's tail reaches 64 bins (256 bytes).
    QTest::newRow("one packet claims the whole frame")
        << std::vector<Slice>{{0, 760, Slice::Noise}} << full << most;
    QTest::newRow("first and last packet of the largest frame")
        << std::vector<Slice>{{0, 760, Slice::Echo}, {full - 760, 760, Slice::Noise}} << full
        << most;
    QTest::newRow("an echo far out, alone")
        << std::vector<Slice>{{300000, 760, Slice::Echo}} << full << most;
    QTest::newRow("two echoes of the same height far apart")
        << std::vector<Slice>{{3 * 768 + 100, 200, Slice::Echo}, {90 * 768 + 100, 200, Slice::Echo}}
        << full << most;
    QTest::newRow("slices within the filter's tail of each other")
        << std::vector<Slice>{{10 * 768 - 200, 200, Slice::Noise},
                              {10 * 768 + 1024, 300, Slice::Spike},
                              {12 * 768 + 2048, 400, Slice::Echo}}
        << full << most;
    QTest::newRow("slices on block borders") << std::vector<Slice>{{768, 768, Slice::Flat},
                                                                   {5 * 768, 768, Slice::Flat},
                                                                   {9 * 768 - 4, 8, Slice::Spike}}
                                             << full << most;
    QTest::newRow("a plateau of equal samples far out")
        << std::vector<Slice>{{200000, 760, Slice::Flat}, {200760, 760, Slice::Flat}} << full
        << most;
    QTest::newRow("only the near range")
        << std::vector<Slice>{{0, 240, Slice::Noise}} << full << most;
    QTest::newRow("zeros delivered")
        << std::vector<Slice>{{5000, 760, Slice::Zeros}, {100000, 760, Slice::Zeros}} << full
        << most;
    QTest::newRow("nothing delivered") << std::vector<Slice>{} << full << most;
    QTest::newRow("dataHeight ends inside the data")
        << std::vector<Slice>{{4000, 760, Slice::Noise}, {40000, 760, Slice::Echo}} << full
        << 10150u;
    QTest::newRow("data beyond the frame's bytes")
        << std::vector<Slice>{{2000, 760, Slice::Echo}, {9000, 760, Slice::Noise}} << qint64(8192)
        << most;
    QTest::newRow("a frame ending inside its last block")
        << std::vector<Slice>{{760, 760, Slice::Echo}, {3000, 50, Slice::Noise}} << qint64(3050)
        << most;
}

void TstEchoProcessor::sparseFramesAsTheirWholeFrames()
{
    QFETCH(std::vector<Slice>, slices);
    QFETCH(qint64, dataBytes);
    QFETCH(quint32, dataHeight);
    std::mt19937 gen(3);
    EchoProcessor p;
    checkSparseFrame(p, slices, dataBytes, dataHeight, gen);
}

void TstEchoProcessor::randomSparseFramesAsTheirWholeFrames()
{
    std::mt19937 gen(17);
    const qint64 full = FrameAssembler::frameCapacity();
    std::uniform_int_distribution<int> kinds(0, 4);
    std::uniform_int_distribution<int> counts(0, 8);
    std::uniform_int_distribution<qint64> lengths(1, 760);
    // One processor for every frame: nothing may carry over from one to the next.
    EchoProcessor p;
    for (int round = 0; round < 300; ++round) {
        // Mostly frames of a few thousand bins; every tenth claims the whole buffer.
        const qint64 dataBytes =
            round % 10 == 0 ? full : std::uniform_int_distribution<qint64>(1, 40000)(gen);
        std::uniform_int_distribution<qint64> offsets(0, dataBytes + 2000);
        std::vector<Slice> slices;
        const int count = counts(gen);
        for (int k = 0; k < count; ++k) {
            const qint64 length = lengths(gen);
            const qint64 offset = std::min(offsets(gen), full - length);
            slices.push_back({offset, length, Slice::Kind(kinds(gen))});
        }
        const quint32 dataHeight =
            round % 4 == 0 ? quint32(std::uniform_int_distribution<qint64>(0, dataBytes / 4)(gen))
                           : 0xFFFFFFFFu;
        checkSparseFrame(p, slices, dataBytes, dataHeight, gen);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

QTEST_GUILESS_MAIN(TstEchoProcessor)
#include "tst_echoprocessor.moc"
