#include "EchoProcessor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

struct Echo
{
    bool found = false;
    quint64 index = 0;
    double value = 0;
};

// The strongest peak above half the maximum of f[0 .. length-1]; among equal values the
// first.
Echo strongest(std::vector<PeakRecord> &peaks, const double *f, int length)
{
    double top = 0;
    for (int i = 0; i < length; ++i)
        top = std::max(top, f[i]);
    findPeaks(peaks, f, length, 0.5 * top, 1, 0.5 * top, 0);
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

// One beam's bearing, range, strength and point (along-track slot left 0); a beam without
// an echo keeps the zeros it was given.
void placeEcho(const Echo &echo, double bearing, double delay, double distReso, double &angle,
               double &range, double &strength, double *point)
{
    if (!echo.found)
        return;
    angle = bearing;
    range = (double(echo.index) - delay) * distReso;
    strength = echo.value;
    point[1] = std::sin(bearing * M_PI / 180) * range;
    point[2] = std::cos(bearing * M_PI / 180) * range;
    point[3] = echo.value;
}

} // namespace

EchoProcessor::EchoProcessor()
    : m_filter(256, 64, { 0.05 }, 0, "hamming")
{
}

qint64 EchoProcessor::usableBins(const packageInfo &header, qint64 dataBytes)
{
    if (dataBytes < 0)
        return 0;
    // The filter counts samples in int; no frame buffer comes anywhere near this.
    const qint64 limit = std::numeric_limits<int>::max() / 2;
    return std::min({ qint64(header.dataHeight), dataBytes / 4, limit });
}

void EchoProcessor::processFrame(const packageInfo &header, const void *data, qint64 dataBytes,
                                 FrameResult &result, double points[8])
{
    result = FrameResult();
    std::fill(points, points + 8, 0.0);

    const double direction = header.direction;
    const double distReso = header.distReso;
    if (!std::isfinite(direction) || !std::isfinite(distReso))
        return;

    // Bounded by the bytes present: at most 127000 bins for a whole frame buffer.
    const int bins = int(usableBins(header, dataBytes));
    const int order = m_filter.order();
    const std::size_t filteredSize = std::size_t(bins) + 1 + std::size_t(order);

    beamA.assign(std::size_t(bins), 0.0);
    beamB.assign(std::size_t(bins), 0.0);
    const quint8 *bytes = static_cast<const quint8 *>(data);
    for (int k = nearBlankBins; k < bins; ++k) {
        const quint8 *bin = bytes + 4 * std::size_t(k);
        const double a = double(quint16(bin[0] | (bin[1] << 8)));
        const double b = double(quint16(bin[2] | (bin[3] << 8)));
        beamA[std::size_t(k)] = a * a;
        beamB[std::size_t(k)] = b * b;
    }

    filteredA.assign(filteredSize, 0.0);
    filteredB.assign(filteredSize, 0.0);
    m_filter.apply(beamA.data(), bins, filteredA.data());
    m_filter.apply(beamB.data(), bins, filteredB.data());

    // The filter delays by order / 2 samples: search that far past the last bin and take the
    // delay off the ranges.
    const int length = int(double(bins) + 1 + order - order * 0.5);

    double thetaA = std::fmod(direction + 180 + 360, 360);
    // A direction below -540 degrees would otherwise give a negative bearing.
    if (thetaA < 0)
        thetaA += 360;
    double t = thetaA + 180;
    if (t >= 360)
        t -= 360;
    const double thetaB = std::fmod(t + 360, 360);

    const double delay = order * 0.5;
    const Echo echoA = strongest(peaks, filteredA.data(), length);
    const Echo echoB = strongest(peaks, filteredB.data(), length);
    placeEcho(echoA, thetaA, delay, distReso, result.angleA, result.rangeA, result.peakA, points);
    placeEcho(echoB, thetaB, delay, distReso, result.angleB, result.rangeB, result.peakB, points + 4);
}
