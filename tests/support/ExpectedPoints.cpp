#include "ExpectedPoints.h"

#include "processClass/EchoProcessor.h"

#include <cmath>
#include <limits>

std::vector<CloudPoint> expectedPoints(const std::vector<SimSonar::WholeFrame> &frames,
                                       const std::function<float(const packageInfo &)> &speed,
                                       float *maxBeamRange)
{
    const double largest = std::numeric_limits<float>::max();
    auto fits = [&](double v) { return std::fabs(v) <= largest; };
    EchoProcessor echo;
    std::vector<CloudPoint> points;
    double along = 0;
    float widest = 0;
    for (const SimSonar::WholeFrame &f : frames) {
        FrameResult result;
        double p[8];
        echo.processFrame(f.head, f.data.constData(), f.data.size(), result, p);
        const float s = speed(f.head);
        if (std::isfinite(s))
            along += s / 1000.0;
        for (int beam = 0; beam < 2; ++beam) {
            const double *q = p + 4 * beam;
            if (fits(along) && fits(q[1]) && fits(q[2]) && fits(q[3]))
                points.push_back({float(along), float(q[1]), float(q[2]), float(q[3])});
        }
        for (const double range : {result.rangeA, result.rangeB}) {
            if (fits(range))
                widest = std::max(widest, float(range));
        }
    }
    if (maxBeamRange)
        *maxBeamRange = widest;
    return points;
}

bool allFinite(const std::vector<CloudPoint> &points)
{
    for (const CloudPoint &p : points) {
        if (!std::isfinite(p.alongTrack) || !std::isfinite(p.x) || !std::isfinite(p.y)
            || !std::isfinite(p.strength))
            return false;
    }
    return true;
}
