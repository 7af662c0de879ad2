#include "processClass/PeakFinder.h"
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

constexpr double kOff = -std::numeric_limits<double>::infinity();

// A record as {value, index, width, prominence, leftMin, rightMin}.
using Expected = QList<QList<double>>;

// Bit for bit, so that the sign of a zero and NaN measures count too.
bool sameRecords(const std::vector<PeakRecord> &a, const std::vector<PeakRecord> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        const double fa[5] = {a[k].value, a[k].width, a[k].prominence, a[k].leftMin, a[k].rightMin};
        const double fb[5] = {b[k].value, b[k].width, b[k].prominence, b[k].leftMin, b[k].rightMin};
        if (a[k].index != b[k].index || std::memcmp(fa, fb, sizeof fa) != 0)
            return false;
    }
    return true;
}

} // namespace

class TstPeakFinder : public QObject
{
    Q_OBJECT

private slots:
    void cases_data();
    void cases();
    void matchesReferencePeaks();
    void matchesSampleBySampleWalks();
    void longWalksOnAHugeSequence();
    void replacesPreviousContent();
    void shortenedRunsGiveTheWholeSequencesPeaks_data();
    void shortenedRunsGiveTheWholeSequencesPeaks();
};

void TstPeakFinder::cases_data()
{
    QTest::addColumn<QList<double>>("x");
    QTest::addColumn<double>("minHeight");
    QTest::addColumn<quint64>("minDistance");
    QTest::addColumn<double>("minProminence");
    QTest::addColumn<double>("minWidth");
    QTest::addColumn<Expected>("expected");

    const QList<double> twoPeaks{0, 2, 1, 3, 0};
    const QList<double> first{2, 1, 2, 1, 0, 1};
    const QList<double> second{3, 3, 2, 3, 0, 0};

    QTest::newRow("empty") << QList<double>{} << kOff << quint64(0) << 0.0 << 0.0 << Expected{};
    QTest::newRow("one sample") << QList<double>{4} << kOff << quint64(0) << 0.0 << 0.0
                                << Expected{};
    QTest::newRow("two samples") << QList<double>{1, 4} << kOff << quint64(0) << 0.0 << 0.0
                                 << Expected{};
    QTest::newRow("monotonic") << QList<double>{1, 2, 3, 5, 8} << kOff << quint64(0) << 0.0 << 0.0
                               << Expected{};
    QTest::newRow("flat top") << QList<double>{0, 1, 1, 0} << kOff << quint64(0) << 0.0 << 0.0
                              << Expected{};
    QTest::newRow("ends are not peaks") << QList<double>{9, 1, 2, 1, 9} << kOff << quint64(0) << 0.0
                                        << 0.0 << Expected{{2, 2, 2, 1, 1, 1}};
    QTest::newRow("all filters off")
        << twoPeaks << kOff << quint64(0) << 0.0 << 0.0 << Expected{first, second};
    QTest::newRow("min prominence 2")
        << twoPeaks << kOff << quint64(1) << 2.0 << 0.0 << Expected{second};
    QTest::newRow("min height 2.5")
        << twoPeaks << 2.5 << quint64(0) << 0.0 << 0.0 << Expected{second};
    QTest::newRow("min height equal to the value keeps it")
        << twoPeaks << 2.0 << quint64(0) << 0.0 << 0.0 << Expected{first, second};
    QTest::newRow("min distance 3")
        << twoPeaks << kOff << quint64(3) << 0.0 << 0.0 << Expected{second};
    QTest::newRow("min distance 2 keeps both")
        << twoPeaks << kOff << quint64(2) << 0.0 << 0.0 << Expected{first, second};
    QTest::newRow("distance compares with the last kept peak")
        << QList<double>{0, 5, 0, 4, 0, 6, 0} << kOff << quint64(3) << 0.0 << 0.0
        << Expected{{5, 1, 2, 5, 0, 0}, {6, 5, 2, 6, 0, 0}};
    QTest::newRow("walk stops at a higher sample")
        << QList<double>{1, 3, 2, 4, 1, 2, 0} << kOff << quint64(0) << 0.0 << 0.0
        << Expected{{3, 1, 2, 1, 1, 2}, {4, 3, 2, 3, 1, 0}, {2, 5, 2, 1, 1, 0}};
    QTest::newRow("min width drops the narrow peak")
        << QList<double>{0, 1, 5, 6, 5, 1, 0, 3, 0} << kOff << quint64(0) << 0.0 << 3.0
        << Expected{{6, 3, 4, 6, 0, 0}};
    QTest::newRow("no half-level crossing gives width 0")
        << QList<double>{0, std::numeric_limits<double>::infinity(), 0} << kOff << quint64(0) << 0.0
        << 0.0
        << Expected{{std::numeric_limits<double>::infinity(), 1, 0,
                     std::numeric_limits<double>::infinity(), 0, 0}};
    QTest::newRow("height, then prominence, as the echo search uses them")
        << QList<double>{0, 10, 9, 9.5, 1, 6, 0, 4, 3} << 5.0 << quint64(1) << 5.0 << 0.0
        << Expected{{10, 1, 4, 10, 0, 0}, {6, 5, 2, 5, 1, 0}};
}

void TstPeakFinder::cases()
{
    QFETCH(QList<double>, x);
    QFETCH(double, minHeight);
    QFETCH(quint64, minDistance);
    QFETCH(double, minProminence);
    QFETCH(double, minWidth);
    QFETCH(Expected, expected);

    std::vector<PeakRecord> out;
    findPeaks(out, x.constData(), int(x.size()), minHeight, minDistance, minProminence, minWidth);
    QCOMPARE(int(out.size()), int(expected.size()));
    for (int k = 0; k < expected.size(); ++k) {
        const PeakRecord &r = out[std::size_t(k)];
        const QList<double> &e = expected[k];
        QCOMPARE(r.value, e[0]);
        QCOMPARE(r.index, quint64(e[1]));
        QCOMPARE(r.width, e[2]);
        QCOMPARE(r.prominence, e[3]);
        QCOMPARE(r.leftMin, e[4]);
        QCOMPARE(r.rightMin, e[5]);
    }
}

// Indices and prominences agree with the reference implementation wherever its filters
// coincide with ours (height and prominence; single-sample tops only).
void TstPeakFinder::matchesReferencePeaks()
{
    const auto lines = readReferenceLines(KORVESSA_TEST_DATA_DIR "/find_peaks.txt");
    QVERIFY(!lines.isEmpty());
    int checked = 0;
    for (const auto &line : lines) {
        ReferenceFields f(line);
        const int n = f.integer();
        const std::vector<double> x = f.reals(n);
        while (!f.atEnd()) {
            const QByteArray h = f.text();
            const QByteArray p = f.text();
            const double height = h == "off" ? kOff : h.toDouble();
            const double prominence = p == "off" ? 0.0 : p.toDouble();
            const int count = f.integer();
            std::vector<quint64> index;
            for (int k = 0; k < count; ++k)
                index.push_back(quint64(f.integer()));
            const std::vector<double> prom = f.reals(count);

            std::vector<PeakRecord> out;
            findPeaks(out, x.data(), n, height, 1, prominence, 0);
            QCOMPARE(int(out.size()), count);
            for (int k = 0; k < count; ++k) {
                QCOMPARE(out[std::size_t(k)].index, index[std::size_t(k)]);
                QVERIFY(std::abs(out[std::size_t(k)].prominence - prom[std::size_t(k)]) <= 1e-12);
            }
            ++checked;
        }
    }
    QCOMPARE(checked, 20);
}

// Short random sequences full of ties, flat tops, signed zeros, infinities and NaNs, where
// walks and crossings run far.
void TstPeakFinder::matchesSampleBySampleWalks()
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double pool[] = {0.0, -0.0, 1, 2, 3, 3, 2.5, -1, inf, -inf, nan};
    std::mt19937 gen(11);
    std::uniform_int_distribution<int> pick(0, int(std::size(pool)) - 1);
    std::uniform_int_distribution<int> length(0, 60);
    std::uniform_real_distribution<double> real(-3, 3);
    for (int round = 0; round < 20000; ++round) {
        std::vector<double> x(std::size_t(length(gen)));
        const bool smooth = round % 4 == 0;
        for (double &v : x)
            v = smooth ? real(gen) : pool[pick(gen)];
        const std::vector<PeakRecord> want = walkedPeaks(x.data(), int(x.size()));
        std::vector<PeakRecord> got;
        findPeaks(got, x.data(), int(x.size()), kOff, 0, 0, 0);
        if (!sameRecords(got, want)) {
            QString seq;
            for (double v : x)
                seq += QString::number(v) + QLatin1Char(' ');
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(round).arg(seq)));
        }
    }
}

// A million equal peaks on a high floor: every walk and every crossing runs to the ends of
// two million samples. Walked sample by sample that never finishes.
void TstPeakFinder::longWalksOnAHugeSequence()
{
    const int n = 2000001;
    std::vector<double> x(std::size_t(n), 0.9);
    x.front() = 0;
    x.back() = 0;
    for (int i = 1; i < n - 1; i += 2)
        x[std::size_t(i)] = 1;
    std::vector<PeakRecord> out;
    findPeaks(out, x.data(), n, 0.5, 1, 0.5, 0);
    QCOMPARE(int(out.size()), (n - 1) / 2);
    for (const PeakRecord &r : out) {
        if (r.prominence != 1 || r.leftMin != 0 || r.rightMin != 0 || r.width != n - 1)
            QFAIL(qPrintable(QStringLiteral("peak %1").arg(r.index)));
    }
}

void TstPeakFinder::replacesPreviousContent()
{
    std::vector<PeakRecord> out(5);
    const double x[] = {0, 1, 0};
    findPeaks(out, x, 3, kOff, 0, 0, 0);
    QCOMPARE(int(out.size()), 1);
    findPeaks(out, x, 2, kOff, 0, 0, 0);
    QVERIFY(out.empty());
}

void TstPeakFinder::shortenedRunsGiveTheWholeSequencesPeaks_data()
{
    QTest::addColumn<double>("minHeight");
    QTest::addColumn<quint64>("minDistance");
    QTest::addColumn<double>("minProminence");
    QTest::addColumn<double>("minWidth");
    QTest::newRow("filters off") << kOff << quint64(0) << 0.0 << 0.0;
    QTest::newRow("height") << 1.5 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("prominence") << kOff << quint64(0) << 1.0 << 0.0;
    QTest::newRow("width") << kOff << quint64(0) << 0.0 << 6.0;
    QTest::newRow("distance") << kOff << quint64(25) << 0.0 << 0.0;
}

// Sequences made of runs of one value (zeros above all, as a beam that is mostly empty) with
// every run of three or more shortened to its two ends: the records, with indexes, widths and
// spacing counted in the whole sequence's positions, are those of the whole sequence, also
// when a walk or a half-level crossing has to cross a long run or a run is a plateau at the
// peak's own height.
void TstPeakFinder::shortenedRunsGiveTheWholeSequencesPeaks()
{
    QFETCH(double, minHeight);
    QFETCH(quint64, minDistance);
    QFETCH(double, minProminence);
    QFETCH(double, minWidth);
    const double inf = std::numeric_limits<double>::infinity();
    const double pool[] = {0.0, 0.0, 0.0, -0.0, 1, 2, 3, 2.5, -1, -1e-12, 1e-12, inf, -inf};
    std::mt19937 gen(29);
    std::uniform_int_distribution<int> pick(0, int(std::size(pool)) - 1);
    std::uniform_int_distribution<int> runs(0, 30);
    std::uniform_int_distribution<int> shortRun(1, 3);
    std::uniform_int_distribution<int> longRun(3, 400);
    std::uniform_real_distribution<double> real(-3, 3);
    for (int round = 0; round < 5000; ++round) {
        std::vector<double> whole;
        const int count = runs(gen);
        for (int r = 0; r < count; ++r) {
            const bool smooth = round % 3 == 0;
            const double v = smooth && r % 2 ? real(gen) : pool[pick(gen)];
            const int length = r % 3 == 0 ? longRun(gen) : shortRun(gen);
            whole.insert(whole.end(), std::size_t(length), v);
        }
        std::vector<double> kept;
        std::vector<quint64> positions;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            const bool inside = i > 0 && i + 1 < whole.size()
                                && std::memcmp(&whole[i], &whole[i - 1], sizeof(double)) == 0
                                && std::memcmp(&whole[i], &whole[i + 1], sizeof(double)) == 0;
            if (!inside) {
                kept.push_back(whole[i]);
                positions.push_back(i);
            }
        }
        std::vector<PeakRecord> want;
        findPeaks(want, whole.data(), int(whole.size()), minHeight, minDistance, minProminence,
                  minWidth);
        if (minHeight == kOff && minDistance == 0 && minProminence == 0 && minWidth == 0)
            QVERIFY(sameRecords(want, walkedPeaks(whole.data(), int(whole.size()))));
        std::vector<PeakRecord> got;
        findPeaks(got, kept.data(), positions.data(), int(kept.size()), minHeight, minDistance,
                  minProminence, minWidth);
        if (!sameRecords(got, want)) {
            QString seq;
            for (double v : whole)
                seq += QString::number(v) + QLatin1Char(' ');
            QFAIL(qPrintable(QStringLiteral("round %1: %2").arg(round).arg(seq)));
        }
    }
}

QTEST_GUILESS_MAIN(TstPeakFinder)
#include "tst_peakfinder.moc"
