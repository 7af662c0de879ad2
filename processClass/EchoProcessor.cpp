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
    m_whole.assign(1, {0, std::max<qint64>(dataBytes, 0)});
    processFrame(header, data, dataBytes, m_whole, result, points);
}

void EchoProcessor::planRuns(const std::vector<FrameBuffer::Span> &spans, qint64 bins)
{
    // The filter works in blocks of fftSize - order samples from bin 0; a run starts and ends
    // on those block borders, so every block it computes is the block of the whole frame. A
    // block's output reaches order samples past its input: a run that starts within that
    // reach of the previous one joins it, so that no run starts with a tail still to add.
    const qint64 order = m_filter.order();
    const qint64 block = m_filter.fftSize() - order;
    m_runs.clear();
    for (const FrameBuffer::Span &span : spans) {
        const qint64 lo = std::max<qint64>(nearBlankBins, span.begin / 4);
        const qint64 hi = std::min(bins, (span.end + 3) / 4);
        if (lo >= hi)
            continue;
        const qint64 begin = lo / block * block;
        const qint64 end = std::min(bins, (hi + block - 1) / block * block);
        if (!m_runs.empty() && begin < m_runs.back().end + order)
            m_runs.back().end = std::max(m_runs.back().end, end);
        else
            m_runs.push_back({begin, end});
    }
}

EchoProcessor::Echo EchoProcessor::beamEcho(const quint8 *data, int beam, int length)
{
    const qint64 order = m_filter.order();
    // Outside the runs the filtered beam is zero; a run of zeros keeps its two ends. Without
    // a run of three zeros or more the sequence is whole and needs no positions.
    bool shortened = false;
    qint64 at = 0;
    for (const FrameBuffer::Span &run : m_runs) {
        shortened = shortened || run.begin - at > 2;
        at = run.end + order;
    }
    shortened = shortened || length - at > 2;

    m_filtered.clear();
    m_positions.clear();
    auto zero = [&](qint64 p) {
        m_filtered.push_back(0.0);
        if (shortened)
            m_positions.push_back(quint64(p));
    };
    auto zeros = [&](qint64 from, qint64 to) {
        if (from < to)
            zero(from);
        if (to - from >= 2)
            zero(to - 1);
    };
    at = 0;
    for (const FrameBuffer::Span &run : m_runs) {
        zeros(at, run.begin);
        const qint64 n = run.end - run.begin;
        m_input.resize(std::size_t(n));
        for (qint64 k = run.begin; k < run.end; ++k) {
            const quint8 *sample = data + 4 * std::size_t(k) + 2 * std::size_t(beam);
            const double v = double(quint16(sample[0] | (sample[1] << 8)));
            m_input[std::size_t(k - run.begin)] = k < nearBlankBins ? 0.0 : v * v;
        }
        const std::size_t first = m_filtered.size();
        m_filtered.resize(first + std::size_t(n + order));
        m_filter.apply(m_input.data(), int(n), m_filtered.data() + first);
        // The search stops at length, which lies past every run's input.
        const qint64 keep = std::min(n + order, qint64(length) - run.begin);
        m_filtered.resize(first + std::size_t(keep));
        if (shortened) {
            for (qint64 j = 0; j < keep; ++j)
                m_positions.push_back(quint64(run.begin + j));
        }
        at = run.begin + keep;
    }
    zeros(at, length);

    double top = 0;
    for (const double v : m_filtered)
        top = std::max(top, v);
    findPeaks(m_peaks, m_filtered.data(), shortened ? m_positions.data() : nullptr,
              int(m_filtered.size()), 0.5 * top, 1, 0.5 * top, 0);
    // The strongest peak; among equal values the first.
    Echo echo;
    for (const PeakRecord &p : m_peaks) {
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
