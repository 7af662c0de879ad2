#include "EchoProcessor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// One beam's bearing, range, strength and point (along-track slot left 0) from the echo at
// index with value; a beam without an echo keeps the zeros it was given.
void placeEcho(bool found, quint64 index, double value, double bearing, double delay,
               double distReso, double &angle, double &range, double &strength, double *point)
{
    if (!found)
        return;
    angle = bearing;
    range = (double(index) - delay) * distReso;
    strength = value;
    point[1] = std::sin(bearing * M_PI / 180) * range;
    point[2] = std::cos(bearing * M_PI / 180) * range;
    point[3] = value;
}

} // namespace

EchoProcessor::EchoProcessor() : m_filter(256, 64, {0.05}, 0, "hamming") {}

qint64 EchoProcessor::usableBins(const packageInfo &header, qint64 dataBytes)
{
    if (dataBytes < 0)
        return 0;
    // The filter counts samples in int; no frame buffer comes anywhere near this.
    const qint64 limit = std::numeric_limits<int>::max() / 2;
    return std::min({qint64(header.dataHeight), dataBytes / 4, limit});
}

void EchoProcessor::processFrame(const packageInfo &header, const void *data, qint64 dataBytes,
                                 FrameResult &result, double points[8])
{
    whole.assign(1, {0, std::max<qint64>(dataBytes, 0)});
    processFrame(header, data, dataBytes, whole, result, points);
}

void EchoProcessor::planRuns(const std::vector<FrameBuffer::Span> &spans, qint64 bins)
{
    // The filter works in blocks of fftSize - order samples from bin 0; a run starts and ends
    // on those block borders, so every block it computes is the block of the whole frame. A
    // block's output reaches order samples past its input: a run that starts within that
    // reach of the previous one joins it, so that no run starts with a tail still to add.
    const qint64 order = m_filter.order();
    const qint64 block = m_filter.fftSize() - order;
    runs.clear();
    for (const FrameBuffer::Span &span : spans) {
        const qint64 lo = std::max<qint64>(nearBlankBins, span.begin / 4);
        const qint64 hi = std::min(bins, (span.end + 3) / 4);
        if (lo >= hi)
            continue;
        const qint64 begin = lo / block * block;
        const qint64 end = std::min(bins, (hi + block - 1) / block * block);
        if (!runs.empty() && begin < runs.back().end + order)
            runs.back().end = std::max(runs.back().end, end);
        else
            runs.push_back({begin, end});
    }
}

EchoProcessor::Echo EchoProcessor::beamEcho(const quint8 *data, int beam, int length)
{
    const qint64 order = m_filter.order();
    // Outside the runs the filtered beam is zero; a run of zeros keeps its two ends. Without
    // a run of three zeros or more the sequence is whole and needs no positions.
    bool shortened = false;
    qint64 at = 0;
    for (const FrameBuffer::Span &run : runs) {
        shortened = shortened || run.begin - at > 2;
        at = run.end + order;
    }
    shortened = shortened || length - at > 2;

    filtered.clear();
    positions.clear();
    auto zero = [&](qint64 p) {
        filtered.push_back(0.0);
        if (shortened)
            positions.push_back(quint64(p));
    };
    auto zeros = [&](qint64 from, qint64 to) {
        if (from < to)
            zero(from);
        if (to - from >= 2)
            zero(to - 1);
    };
    at = 0;
    for (const FrameBuffer::Span &run : runs) {
        zeros(at, run.begin);
        const qint64 n = run.end - run.begin;
        input.resize(std::size_t(n));
        for (qint64 k = run.begin; k < run.end; ++k) {
            const quint8 *sample = data + 4 * std::size_t(k) + 2 * std::size_t(beam);
            const double v = double(quint16(sample[0] | (sample[1] << 8)));
            input[std::size_t(k - run.begin)] = k < nearBlankBins ? 0.0 : v * v;
        }
        const std::size_t first = filtered.size();
        filtered.resize(first + std::size_t(n + order));
        m_filter.apply(input.data(), int(n), filtered.data() + first);
        // The search stops at length, which lies past every run's input.
        const qint64 keep = std::min(n + order, qint64(length) - run.begin);
        filtered.resize(first + std::size_t(keep));
        if (shortened) {
            for (qint64 j = 0; j < keep; ++j)
                positions.push_back(quint64(run.begin + j));
        }
        at = run.begin + keep;
    }
    zeros(at, length);

    double top = 0;
    for (const double v : filtered)
        top = std::max(top, v);
    findPeaks(peaks, filtered.data(), shortened ? positions.data() : nullptr, int(filtered.size()),
              0.5 * top, 1, 0.5 * top, 0);
    // The strongest peak; among equal values the first.
    Echo echo;
    for (const PeakRecord &p : peaks) {
        if (p.value > echo.value) {
            echo.found = true;
            echo.value = p.value;
            echo.index = p.index;
        }
    }
    return echo;
}

void EchoProcessor::processFrame(const packageInfo &header, const void *data, qint64 dataBytes,
                                 const std::vector<FrameBuffer::Span> &spans, FrameResult &result,
                                 double points[8])
{
    result = FrameResult();
    std::fill(points, points + 8, 0.0);

    const double direction = header.direction;
    const double distReso = header.distReso;
    if (!std::isfinite(direction) || !std::isfinite(distReso))
        return;

    // Bounded by the bytes present: at most 127000 bins for a whole frame buffer.
    const qint64 bins = usableBins(header, dataBytes);
    const int order = m_filter.order();
    // The filter delays by order / 2 samples: search that far past the last bin and take the
    // delay off the ranges.
    const int length = int(double(bins) + 1 + order - order * 0.5);
    planRuns(spans, bins);

    double thetaA = std::fmod(direction + 180 + 360, 360);
    // A direction below -540 degrees would otherwise give a negative bearing.
    if (thetaA < 0)
        thetaA += 360;
    double t = thetaA + 180;
    if (t >= 360)
        t -= 360;
    const double thetaB = std::fmod(t + 360, 360);

    const double delay = order * 0.5;
    const quint8 *bytes = static_cast<const quint8 *>(data);
    const Echo echoA = beamEcho(bytes, 0, length);
    const Echo echoB = beamEcho(bytes, 1, length);
    placeEcho(echoA.found, echoA.index, echoA.value, thetaA, delay, distReso, result.angleA,
              result.rangeA, result.peakA, points);
    placeEcho(echoB.found, echoB.index, echoB.value, thetaB, delay, distReso, result.angleB,
              result.rangeB, result.peakB, points + 4);
}
