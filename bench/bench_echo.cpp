// Echo processing of one frame against the literal chain (direct convolution, peaks walked
// sample by sample), and the FFT filter against a direct convolution, timed the same way in
// the same run and checked to agree. Single-threaded: the figures are for one core.
#include "processClass/EchoProcessor.h"
#include "processClass/FirFilter.h"
#include "processClass/PeakFinder.h"
#include "support/WalkedPeaks.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <random>
#include <vector>

namespace {

std::vector<quint8> makeFrame(int bins, std::mt19937 &gen)
{
    std::uniform_int_distribution<int> noise(0, 300);
    std::vector<quint8> bytes(std::size_t(bins) * 4);
    const int echo[2] = {bins * 2 / 5, bins * 3 / 4};
    for (int k = 0; k < bins; ++k) {
        for (int beam = 0; beam < 2; ++beam) {
            const double d = (k - echo[beam]) / 6.0;
            const int v = std::min(65535, noise(gen) + int(9000 * std::exp(-0.5 * d * d)));
            bytes[std::size_t(4 * k + 2 * beam)] = quint8(v & 0xff);
            bytes[std::size_t(4 * k + 2 * beam + 1)] = quint8(v >> 8);
        }
    }
    return bytes;
}

// A whole frame buffer of bins whose filtered peaks fall slowly from near to far, all above
// half the maximum: every peak's walk to the right runs to the end of the beam.
std::vector<quint8> makeHostileFrame(int bins)
{
    std::vector<quint8> bytes(std::size_t(bins) * 4, 0);
    for (int k = 100; k < bins - 100; k += 40) {
        const quint16 v = quint16(65535.0 * std::sqrt(1.0 - 0.4 * double(k) / bins));
        for (int beam = 0; beam < 2; ++beam) {
            bytes[std::size_t(4 * k + 2 * beam)] = quint8(v & 0xff);
            bytes[std::size_t(4 * k + 2 * beam + 1)] = quint8(v >> 8);
        }
    }
    return bytes;
}

void directConvolution(const double *x, int n, const std::vector<double> &taps, double *y)
{
    const int m = int(taps.size());
    std::fill(y, y + n + m - 1, 0.0);
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < m; ++k)
            y[i + k] += x[i] * taps[std::size_t(k)];
}

struct BeamEcho
{
    bool found = false;
    quint64 index = 0;
    double value = 0;
};

// The strongest of the walked peaks whose height and prominence are at least half the beam's
// maximum; among equal ones the first.
BeamEcho strongestWalked(const std::vector<double> &f, int length)
{
    const double top = std::max(0.0, *std::max_element(f.begin(), f.begin() + length));
    BeamEcho echo;
    for (const PeakRecord &p : walkedPeaks(f.data(), length)) {
        if (p.value >= 0.5 * top && (top <= 0 || p.prominence >= 0.5 * top)
            && p.value > echo.value) {
            echo.found = true;
            echo.index = p.index;
            echo.value = p.value;
        }
    }
    return echo;
}

// The chain of EchoProcessor::processFrame written out literally: the reference. Gives the
// echo of each beam as a range bin (filter delay taken off, -1 without an echo) and strength.
struct DirectEchoes
{
    double bin[2] = {-1, -1};
    double value[2] = {0, 0};
};

DirectEchoes directEchoes(const std::vector<quint8> &bytes, int bins,
                          const std::vector<double> &taps, std::vector<double> &a,
                          std::vector<double> &b, std::vector<double> &fa, std::vector<double> &fb)
{
    const int order = int(taps.size()) - 1;
    a.assign(std::size_t(bins), 0.0);
    b.assign(std::size_t(bins), 0.0);
    for (int k = EchoProcessor::nearBlankBins; k < bins; ++k) {
        const double sa = bytes[std::size_t(4 * k)] | (bytes[std::size_t(4 * k + 1)] << 8);
        const double sb = bytes[std::size_t(4 * k + 2)] | (bytes[std::size_t(4 * k + 3)] << 8);
        a[std::size_t(k)] = sa * sa;
        b[std::size_t(k)] = sb * sb;
    }
    fa.assign(std::size_t(bins + 1 + order), 0.0);
    fb.assign(std::size_t(bins + 1 + order), 0.0);
    directConvolution(a.data(), bins, taps, fa.data());
    directConvolution(b.data(), bins, taps, fb.data());
    const int length = bins + 1 + order - order / 2;
    DirectEchoes out;
    const std::vector<double> *filtered[2] = {&fa, &fb};
    for (int beam = 0; beam < 2; ++beam) {
        const BeamEcho echo = strongestWalked(*filtered[beam], length);
        if (echo.found) {
            out.bin[beam] = double(echo.index) - order / 2;
            out.value[beam] = echo.value;
        }
    }
    return out;
}

// The processor's result and the reference's, beam by beam: the same range and, up to the
// rounding of the FFT, the same strength.
bool agree(const FrameResult &r, const DirectEchoes &d, double distReso)
{
    const double range[2] = {r.rangeA, r.rangeB};
    const double peak[2] = {r.peakA, r.peakB};
    for (int beam = 0; beam < 2; ++beam) {
        const double want = d.bin[beam] < 0 ? 0.0 : d.bin[beam] * distReso;
        if (range[beam] != want || std::abs(peak[beam] - d.value[beam]) > 1e-9 * d.value[beam])
            return false;
    }
    return true;
}

// Median over several repeats of the mean time per call, in microseconds.
double microsPerCall(int calls, const std::function<void()> &body)
{
    std::vector<double> runs;
    for (int r = 0; r < 7; ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < calls; ++i)
            body();
        const auto end = std::chrono::steady_clock::now();
        runs.push_back(std::chrono::duration<double, std::micro>(end - start).count() / calls);
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

} // namespace

int main()
{
    std::mt19937 gen(7);
    EchoProcessor processor;
    // The data path's filter, as EchoProcessor builds it.
    const FirFilter dataPathFilter(256, 64, {0.05}, 0, "hamming");
    const std::vector<double> &taps = dataPathFilter.taps();
    bool fastEnough = true;
    bool allAgree = true;
    volatile double sink = 0;

    std::printf("%-34s %12s %12s %8s\n", "per frame (one core)", "FFT us", "literal us", "ratio");
    for (int bins : {1000, 4000}) {
        const std::vector<quint8> frame = makeFrame(bins, gen);
        packageInfo head;
        head.dataHeight = quint32(bins);
        head.distReso = 0.05f;
        head.direction = 30;
        FrameResult result;
        double points[8];
        const double fft = microsPerCall(bins == 1000 ? 4000 : 1000, [&] {
            processor.processFrame(head, frame.data(), qint64(frame.size()), result, points);
            sink = sink + result.rangeA;
        });
        std::vector<double> a, b, fa, fb;
        DirectEchoes literal;
        const double direct = microsPerCall(bins == 1000 ? 40 : 10, [&] {
            literal = directEchoes(frame, bins, taps, a, b, fa, fb);
            sink = sink + literal.bin[0];
        });
        const bool same = agree(result, literal, double(head.distReso));
        allAgree = allAgree && same;
        std::printf("echo processing, %4d bins/beam    %12.1f %12.1f %8.1f   (same echoes: %s)\n",
                    bins, fft, direct, direct / fft, same ? "yes" : "NO");
        if (bins == 4000 && fft >= 500)
            fastEnough = false;

        // The filter alone on the same squared input.
        std::vector<double> x(static_cast<std::size_t>(bins));
        for (int k = 0; k < bins; ++k) {
            const double s = frame[std::size_t(4 * k)] | (frame[std::size_t(4 * k + 1)] << 8);
            x[std::size_t(k)] = s * s;
        }
        FirFilter filter(256, 64, {0.05}, 0, "hamming");
        std::vector<double> y(std::size_t(bins + 64)), z(std::size_t(bins + 64));
        const double applyUs = microsPerCall(bins == 1000 ? 8000 : 2000, [&] {
            filter.apply(x.data(), bins, y.data());
            sink = sink + y[std::size_t(bins / 2)];
        });
        const double directUs = microsPerCall(bins == 1000 ? 400 : 100, [&] {
            directConvolution(x.data(), bins, taps, z.data());
            sink = sink + z[std::size_t(bins / 2)];
        });
        double err = 0, scale = 0;
        for (std::size_t i = 0; i < y.size(); ++i) {
            err = std::max(err, std::abs(y[i] - z[i]));
            scale = std::max(scale, std::abs(z[i]));
        }
        allAgree = allAgree && err <= 1e-12 * scale;
        std::printf(
            "filter apply,    %4d samples      %12.1f %12.1f %8.1f   (max rel. diff %.1e)\n", bins,
            applyUs, directUs, directUs / applyUs, err / scale);
    }
    // A full frame buffer from a hostile sender, against an ordinary one of the same size, and
    // its peak search against the sample-by-sample walks.
    {
        const int bins = 127000;
        const std::vector<quint8> hostile = makeHostileFrame(bins);
        const std::vector<quint8> ordinary = makeFrame(bins, gen);
        packageInfo head;
        head.dataHeight = quint32(bins);
        head.distReso = 0.05f;
        FrameResult result;
        double points[8];
        const double hostileUs = microsPerCall(5, [&] {
            processor.processFrame(head, hostile.data(), qint64(hostile.size()), result, points);
            sink = sink + result.rangeA;
        });
        const double ordinaryUs = microsPerCall(5, [&] {
            processor.processFrame(head, ordinary.data(), qint64(ordinary.size()), result, points);
            sink = sink + result.rangeA;
        });
        std::printf("echo processing, %d bins, hostile %10.1f us, ordinary %10.1f us, ratio %.1f\n",
                    bins, hostileUs, ordinaryUs, hostileUs / ordinaryUs);

        std::vector<double> x(static_cast<std::size_t>(bins), 0.0);
        for (int k = EchoProcessor::nearBlankBins; k < bins; ++k) {
            const double s = hostile[std::size_t(4 * k)] | (hostile[std::size_t(4 * k + 1)] << 8);
            x[std::size_t(k)] = s * s;
        }
        std::vector<double> y(std::size_t(bins + 64));
        FirFilter filter(256, 64, {0.05}, 0, "hamming");
        filter.apply(x.data(), bins, y.data());
        std::vector<PeakRecord> peaks;
        const double stackUs = microsPerCall(3, [&] {
            findPeaks(peaks, y.data(), int(y.size()), -std::numeric_limits<double>::infinity(), 0,
                      0, 0);
            sink = sink + double(peaks.size());
        });
        std::vector<PeakRecord> walked;
        const double walkUs = microsPerCall(3, [&] {
            walked = walkedPeaks(y.data(), int(y.size()));
            sink = sink + double(walked.size());
        });
        bool same = walked.size() == peaks.size();
        for (std::size_t k = 0; same && k < peaks.size(); ++k)
            same = walked[k].index == peaks[k].index && walked[k].width == peaks[k].width
                   && walked[k].prominence == peaks[k].prominence;
        allAgree = allAgree && same;
        std::printf("peak search, hostile beam (%zu peaks) %10.1f us, walked %12.1f us, ratio %.0f"
                    "   (same records: %s)\n",
                    peaks.size(), stackUs, walkUs, walkUs / stackUs, same ? "yes" : "NO");
    }
    std::printf(
        "4000-bin frame under 500 us: %s; every fast result agrees with its reference: %s\n",
        fastEnough ? "yes" : "NO", allAgree ? "yes" : "NO");
    return fastEnough && allAgree ? 0 : 1;
}
