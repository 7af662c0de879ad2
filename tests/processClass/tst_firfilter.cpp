#include "processClass/FirFilter.h"
#include "support/ReferenceData.h"

#include <QList>
#include <QTest>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

std::vector<double> direct(const std::vector<double> &x, const std::vector<double> &taps)
{
    std::vector<double> y(x.size() + taps.size() - 1, 0.0);
    for (std::size_t i = 0; i < x.size(); ++i)
        for (std::size_t k = 0; k < taps.size(); ++k)
            y[i + k] += x[i] * taps[k];
    return y;
}

double maxAbs(const std::vector<double> &v)
{
    double m = 0;
    for (double x : v)
        m = std::max(m, std::abs(x));
    return m;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TstFirFilter : public QObject
{
    Q_OBJECT

private slots:
    void rejections_data();
    void rejections();
    void accepted_data();
    void accepted();
    void knownTaps();
    void passBandGain_data();
    void passBandGain();
    void tapsMatchReferenceDesign();
    void applyMatchesReferenceConvolution();
    void applyMatchesDirectConvolution_data();
    void applyMatchesDirectConvolution();
    void applyWritesExactlyNPlusOrder();
    void concurrentConstruction();
};

void TstFirFilter::rejections_data()
{
    QTest::addColumn<int>("fftSize");
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<double>>("cutoffs");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("message");

    const QString order = "Filter order must be positive";
    const QString empty = "Cutoff frequencies cannot be empty";
    const QString range = "Frequency must be in range [0, 1]";
    const QString bandpass = "Bandpass filter requires two cutoff frequencies";
    const QString bandstop = "Bandstop filter requires two cutoff frequencies";
    const QString zero = "Filter taps sum to zero: the cut-offs leave no pass band";
    const QString fft = "FFT size must be at least the filter order + 1";

    QTest::newRow("order 0") << 256 << 0 << QList<double>{0.05} << 0 << "hamming" << order;
    QTest::newRow("order -3 before everything else")
        << 0 << -3 << QList<double>{} << 2 << "nope" << order;
    QTest::newRow("empty cut-offs") << 256 << 64 << QList<double>{} << 0 << "hamming" << empty;
    QTest::newRow("empty before bad window")
        << 256 << 64 << QList<double>{} << 0 << "nope" << empty;
    QTest::newRow("1.2") << 256 << 64 << QList<double>{1.2} << 0 << "hamming" << range;
    QTest::newRow("-0.1") << 256 << 64 << QList<double>{-0.1} << 0 << "hamming" << range;
    QTest::newRow("NaN") << 256 << 64 << QList<double>{kNaN} << 0 << "hamming" << range;
    QTest::newRow("second cut-off checked too")
        << 256 << 64 << QList<double>{0.2, 1.5} << 2 << "hamming" << range;
    QTest::newRow("range before bad window")
        << 256 << 64 << QList<double>{2.0} << 0 << "nope" << range;
    QTest::newRow("case matters") << 256 << 64 << QList<double>{0.05} << 0 << "Hamming"
                                  << "Unknown window type: Hamming";
    QTest::newRow("window before band-pass count")
        << 256 << 64 << QList<double>{0.05} << 2 << "hann"
        << "Unknown window type: hann";
    QTest::newRow("band-pass one cut-off")
        << 256 << 64 << QList<double>{0.05} << 2 << "hamming" << bandpass;
    QTest::newRow("band-stop one cut-off")
        << 256 << 64 << QList<double>{0.05} << 3 << "rectwin" << bandstop;
    QTest::newRow("low-pass cut-off 0")
        << 256 << 64 << QList<double>{0.0} << 0 << "hamming" << zero;
    QTest::newRow("band-stop [0, 1]")
        << 256 << 64 << QList<double>{0.0, 1.0} << 3 << "hamming" << zero;
    QTest::newRow("high-pass cut-off 1")
        << 256 << 64 << QList<double>{1.0} << 1 << "blackman" << zero;
    QTest::newRow("empty band-pass")
        << 256 << 64 << QList<double>{0.3, 0.3} << 2 << "hamming" << zero;
    QTest::newRow("fftSize = order") << 64 << 64 << QList<double>{0.05} << 0 << "hamming" << fft;
    QTest::newRow("fftSize 0") << 0 << 2 << QList<double>{0.5} << 0 << "rectwin" << fft;
}

void TstFirFilter::rejections()
{
    QFETCH(int, fftSize);
    QFETCH(int, order);
    QFETCH(QList<double>, cutoffs);
    QFETCH(int, type);
    QFETCH(QString, window);
    QFETCH(QString, message);
    const std::vector<double> cuts(cutoffs.begin(), cutoffs.end());
    try {
        FirFilter filter(fftSize, order, cuts, type, window.toStdString());
        QFAIL("no exception");
    } catch (const std::invalid_argument &e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
    // The design alone knows nothing of the FFT size and throws the rest the same way.
    try {
        const std::vector<double> taps =
            FirFilter::designTaps(order, cuts, type, window.toStdString());
        QVERIFY2(message.startsWith(QLatin1String("FFT size")), "no exception");
        QCOMPARE(int(taps.size()), order + 1);
    } catch (const std::invalid_argument &e) {
        QCOMPARE(QString::fromUtf8(e.what()), message);
    }
}

void TstFirFilter::accepted_data()
{
    QTest::addColumn<QList<double>>("cutoffs");
    QTest::addColumn<int>("type");
    QTest::newRow("low-pass 1 (all-pass)") << QList<double>{1.0} << 0;
    QTest::newRow("high-pass 0 (all-pass)") << QList<double>{0.0} << 1;
    QTest::newRow("band-pass [0, 1]") << QList<double>{0.0, 1.0} << 2;
    QTest::newRow("band-stop [0.3, 0.3]") << QList<double>{0.3, 0.3} << 3;
}

// Cut-offs of exactly 0 and 1 pass the range check; where the band covers everything the
// filter is a delayed unit impulse.
void TstFirFilter::accepted()
{
    QFETCH(QList<double>, cutoffs);
    QFETCH(int, type);
    FirFilter filter(64, 16, std::vector<double>(cutoffs.begin(), cutoffs.end()), type, "hamming");
    const std::vector<double> &taps = filter.taps();
    QCOMPARE(int(taps.size()), 17);
    for (int n = 0; n < 17; ++n)
        QVERIFY2(std::abs(taps[n] - (n == 8 ? 1.0 : 0.0)) < 1e-14, qPrintable(QString::number(n)));
}

void TstFirFilter::knownTaps()
{
    FirFilter small(8, 2, {0.5}, 0, "rectwin");
    QCOMPARE(int(small.taps().size()), 3);
    QVERIFY(std::abs(small.taps()[0] - 0.2800495767557787) < 1e-16);
    QVERIFY(std::abs(small.taps()[1] - 0.4399008464884426) < 1e-16);
    QVERIFY(std::abs(small.taps()[2] - 0.2800495767557787) < 1e-16);

    FirFilter system(256, 64, {0.05}, 0, "hamming");
    const std::vector<double> &t = system.taps();
    QCOMPARE(int(t.size()), 65);
    double sum = 0;
    for (int n = 0; n < 65; ++n) {
        sum += t[n];
        QCOMPARE(t[n], t[64 - n]);
    }
    QVERIFY(std::abs(sum - 1) < 1e-14);
    QVERIFY(std::abs(t[32] - 0.0504648024167) < 1e-13);
    QVERIFY(std::abs(t[0] - -0.000763862226491) < 1e-15);

    // Type 7 is a low-pass.
    FirFilter seven(256, 64, {0.05}, 7, "hamming");
    QVERIFY(seven.taps() == t);

    // The Kaiser window shows through as the ratio of Kaiser to rectangular taps.
    const double kaiser[5] = {0.9403061933191572, 0.9849022698838324, 1, 0.9849022698838324,
                              0.9403061933191572};
    FirFilter k(8, 4, {0.3}, 0, "kaiser");
    FirFilter r(8, 4, {0.3}, 0, "rectwin");
    const double centre = k.taps()[2] / r.taps()[2];
    for (int n = 0; n < 5; ++n)
        QVERIFY(std::abs(k.taps()[n] / r.taps()[n] / centre - kaiser[n]) < 1e-15);
}

void TstFirFilter::passBandGain_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("type");
    QTest::addColumn<QList<double>>("cutoffs");
    QTest::addColumn<double>("frequency"); // radians per sample where the gain is 1
    const QList<double> band{0.25, 0.45};
    for (int order : {7, 8, 63, 64}) {
        QTest::addRow("high-pass order %d", order) << order << 1 << band << M_PI;
        QTest::addRow("band-pass order %d", order) << order << 2 << band << 0.35 * M_PI;
        QTest::addRow("low-pass order %d", order) << order << 0 << band << 0.0;
        QTest::addRow("band-stop order %d", order) << order << 3 << band << 0.0;
        QTest::addRow("band-stop from 0, order %d", order)
            << order << 3 << QList<double>{0.0, 0.5} << M_PI;
    }
}

// Odd orders as well as even ones: each type has unit gain inside its pass band.
void TstFirFilter::passBandGain()
{
    QFETCH(int, order);
    QFETCH(int, type);
    QFETCH(QList<double>, cutoffs);
    QFETCH(double, frequency);
    FirFilter filter(256, order, std::vector<double>(cutoffs.begin(), cutoffs.end()), type,
                     "hamming");
    double re = 0, im = 0;
    for (int n = 0; n <= order; ++n) {
        re += filter.taps()[std::size_t(n)] * std::cos(frequency * n);
        im -= filter.taps()[std::size_t(n)] * std::sin(frequency * n);
    }
    QVERIFY2(std::abs(std::hypot(re, im) - 1) < 0.05,
             qPrintable(QString::number(std::hypot(re, im))));
}

void TstFirFilter::tapsMatchReferenceDesign()
{
    const auto lines = readReferenceLines(KORVESSA_TEST_DATA_DIR "/firwin_taps.txt");
    QCOMPARE(lines.size(), 75);
    for (const auto &line : lines) {
        ReferenceFields f(line);
        const int type = f.integer();
        const QByteArray window = f.text();
        const int order = f.integer();
        const std::vector<double> cuts = f.reals(f.integer());
        const std::vector<double> want = f.reals(f.integer());
        const std::vector<double> taps =
            FirFilter::designTaps(order, cuts, type, window.toStdString());
        QCOMPARE(taps.size(), want.size());
        // The filter runs with exactly the designed taps.
        QVERIFY(FirFilter(order + 1, order, cuts, type, window.toStdString()).taps() == taps);
        for (std::size_t n = 0; n < want.size(); ++n) {
            const double err = std::abs(taps[n] - want[n]);
            if (err > 1e-15)
                QFAIL(qPrintable(QStringLiteral("type %1 %2 order %3 tap %4: %5 vs %6")
                                     .arg(type)
                                     .arg(QString::fromLatin1(window))
                                     .arg(order)
                                     .arg(n)
                                     .arg(taps[n], 0, 'g', 17)
                                     .arg(want[n], 0, 'g', 17)));
        }
    }
}

void TstFirFilter::applyMatchesReferenceConvolution()
{
    const auto lines = readReferenceLines(KORVESSA_TEST_DATA_DIR "/convolve.txt");
    QVERIFY(!lines.isEmpty());
    for (const auto &line : lines) {
        ReferenceFields f(line);
        const int fftSize = f.integer();
        const int order = f.integer();
        const double cut = f.real();
        const QByteArray window = f.text();
        const int n = f.integer();
        const std::vector<double> x = f.reals(n);
        const std::vector<double> want = f.reals(n + order);
        FirFilter filter(fftSize, order, {cut}, 0, window.toStdString());
        std::vector<double> y(std::size_t(n + order));
        filter.apply(x.data(), n, y.data());
        const double tol = 1e-12 * maxAbs(want);
        for (int i = 0; i < n + order; ++i)
            QVERIFY2(
                std::abs(y[i] - want[i]) <= tol,
                qPrintable(
                    QStringLiteral("fft %1 order %2 sample %3").arg(fftSize).arg(order).arg(i)));
    }
}

void TstFirFilter::applyMatchesDirectConvolution_data()
{
    QTest::addColumn<int>("fftSize");
    QTest::addColumn<int>("order");
    QTest::addColumn<int>("n");
    // Block lengths from 1 (fftSize = order + 1) up, inputs around the block borders.
    const int pairs[][2] = {{65, 64}, {66, 64}, {100, 64},  {256, 64},
                            {8, 2},   {9, 7},   {128, 100}, {257, 64}};
    for (const auto &p : pairs) {
        const int block = p[0] - p[1];
        for (int n : {1, 2, block - 1, block, block + 1, 3 * block + 2, 1000}) {
            if (n < 1)
                continue;
            QTest::addRow("fft %d order %d n %d", p[0], p[1], n) << p[0] << p[1] << n;
        }
    }
}

void TstFirFilter::applyMatchesDirectConvolution()
{
    QFETCH(int, fftSize);
    QFETCH(int, order);
    QFETCH(int, n);
    std::mt19937 gen(quint32(fftSize * 1000 + order * 7 + n));
    std::uniform_real_distribution<double> dist(-1000, 1000);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (double &v : x)
        v = dist(gen);

    FirFilter filter(fftSize, order, {0.2}, 0, "blackman");
    const std::vector<double> want = direct(x, filter.taps());
    std::vector<double> y(std::size_t(n + order), kNaN);
    filter.apply(x.data(), n, y.data());
    const double tol = 1e-11 * maxAbs(want);
    for (int i = 0; i < n + order; ++i)
        QVERIFY2(std::abs(y[i] - want[i]) <= tol,
                 qPrintable(QStringLiteral("sample %1: %2 vs %3").arg(i).arg(y[i]).arg(want[i])));

    // A second run starts from a clean tail.
    std::vector<double> again(std::size_t(n + order));
    filter.apply(x.data(), n, again.data());
    QVERIFY(again == y);
}

void TstFirFilter::applyWritesExactlyNPlusOrder()
{
    FirFilter filter(256, 64, {0.05}, 0, "hamming");
    const double guard = -12345.0;

    std::vector<double> out(200, guard);
    const double one = 1.0;
    filter.apply(&one, 1, out.data());
    for (int i = 0; i < 65; ++i)
        QVERIFY(std::abs(out[i] - filter.taps()[i]) < 1e-15);
    for (int i = 65; i < 200; ++i)
        QCOMPARE(out[i], guard);

    std::vector<double> in(500, 3.0);
    out.assign(600, guard);
    filter.apply(in.data(), 500, out.data());
    for (int i = 564; i < 600; ++i)
        QCOMPARE(out[i], guard);

    out.assign(10, guard);
    filter.apply(in.data(), 0, out.data());
    filter.apply(in.data(), -4, out.data());
    for (double v : out)
        QCOMPARE(v, guard);
}

// Plans are made and destroyed from many threads at once; the planner lock keeps that safe.
void TstFirFilter::concurrentConstruction()
{
    const FirFilter reference(256, 64, {0.05}, 0, "hamming");
    std::vector<double> x(777);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = double((i * 37) % 101);
    std::vector<double> want(x.size() + 64);
    FirFilter(256, 64, {0.05}, 0, "hamming").apply(x.data(), int(x.size()), want.data());

    std::atomic<int> bad{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 40; ++round) {
                FirFilter f(128 + 64 * (t % 3), 64, {0.05}, 0, "hamming");
                std::vector<double> y(x.size() + 64);
                f.apply(x.data(), int(x.size()), y.data());
                for (std::size_t i = 0; i < y.size(); ++i)
                    if (std::abs(y[i] - want[i]) > 1e-9)
                        bad.fetch_add(1);
            }
        });
    }
    for (auto &th : threads)
        th.join();
    QCOMPARE(bad.load(), 0);
    QVERIFY(reference.taps().size() == 65);
}

QTEST_GUILESS_MAIN(TstFirFilter)
#include "tst_firfilter.moc"
