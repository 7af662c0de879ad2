#include "processClass/PolarImage.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

constexpr int cellCount = PolarImage::imageRows * PolarImage::imageCols;

// The geometry is the same for every image, so it is built once per process. Besides the
// two tables it keeps every cell sorted by bearing, so that a sector's cells are one
// contiguous run found by two binary searches.
struct Geometry
{
    std::vector<double> angle; // per table cell, degrees in (-180, 180]
    std::vector<double> dist;  // per table cell, pixels from the centre
    std::vector<double> sortedAngle;
    std::vector<double> sortedDist;
    std::vector<quint32> sortedPixel; // index into the image (row flipped)

    Geometry()
        : angle(cellCount), dist(cellCount), sortedAngle(cellCount), sortedDist(cellCount),
          sortedPixel(cellCount)
    {
        for (int r = 0; r < PolarImage::imageRows; ++r) {
            for (int c = 0; c < PolarImage::imageCols; ++c) {
                const double dc = c - PolarImage::centerCol;
                const double dr = r - PolarImage::centerRow;
                const int i = r * PolarImage::imageCols + c;
                angle[i] = std::atan2(dc, dr) * 180.0 / M_PI;
                dist[i] = std::sqrt(dc * dc + dr * dr);
            }
        }
        std::vector<quint32> order(cellCount);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [this](quint32 x, quint32 y) { return angle[x] < angle[y]; });
        for (int k = 0; k < cellCount; ++k) {
            const quint32 cell = order[k];
            const quint32 r = cell / PolarImage::imageCols;
            const quint32 c = cell % PolarImage::imageCols;
            sortedAngle[k] = angle[cell];
            sortedDist[k] = dist[cell];
            sortedPixel[k] = (PolarImage::imageRows - 1 - r) * PolarImage::imageCols + c;
        }
    }
};

const Geometry &geometry()
{
    static const Geometry g;
    return g;
}

bool usable(double v)
{
    return std::isfinite(v) && v != 0.0;
}

// Bins whose sample index bin * numPerRow + beam lies inside the frame's bytes, capped by
// dataHeight: the frame cannot make the image read past what it holds.
double beamBins(const packageInfo &head, quint32 bytes, quint16 numPerRow, int beam)
{
    const quint64 samples = bytes / 2;
    quint64 bins;
    if (samples <= static_cast<quint64>(beam))
        bins = 0;
    else if (numPerRow == 0)
        bins = head.dataHeight; // every bin reads sample 0
    else
        bins = (samples - beam + numPerRow - 1) / numPerRow;
    return static_cast<double>(std::min<quint64>(bins, head.dataHeight));
}

quint16 sampleAt(const uchar *data, quint64 index)
{
    quint16 v;
    std::memcpy(&v, data + 2 * index, sizeof v);
    return v;
}

} // namespace

PolarImage::PolarImage()
    : m_accImage(cellCount, 0)
{
    geometry();
}

void PolarImage::clear()
{
    std::fill(m_accImage.begin(), m_accImage.end(), 0);
}

const std::vector<double> &PolarImage::angleTable() const
{
    return geometry().angle;
}

const std::vector<double> &PolarImage::distTable() const
{
    return geometry().dist;
}

double PolarImage::wrapCentre(double bearing)
{
    if (bearing < -180.0)
        bearing += 360.0;
    if (bearing > 180.0)
        bearing -= 360.0;
    return bearing;
}

PolarImage::Centres PolarImage::generateImagefor10(const packageInfo *const *heads,
                                                  const uchar *const *data,
                                                  const quint32 *bytes, int num,
                                                  quint16 *out) const
{
    Centres centres;
    if (!heads || !data || !bytes || !out || num < 1) {
        qWarning() << "generateImagefor10: invalid params";
        return centres;
    }
    if (num > maxFrames) {
        qWarning() << "generateImagefor10: num too large, truncating" << num << "->" << maxFrames;
        num = maxFrames;
    }

    int first = -1;
    int last = -1;
    for (int k = 0; k < num; ++k) {
        if (!heads[k]) {
            qWarning() << "generateImagefor10: null frameHeadPtr at" << k;
            continue;
        }
        if (first < 0)
            first = k;
        last = k;
    }
    if (last < 0)
        return centres;

    const double lastReso = heads[last]->distReso;
    const quint16 lastNumPerRow = heads[last]->numPerRow;
    const bool drawB = lastNumPerRow == 2 && heads[first]->blank != 2;
    centres.valid = true;
    centres.centreA = wrapCentre(double(heads[last]->direction));
    centres.centreB = wrapCentre(double(heads[last]->direction) + 180.0);
    if (!usable(lastReso))
        return centres;

    const Geometry &g = geometry();
    const double *angles = g.sortedAngle.data();
    const double *dists = g.sortedDist.data();
    const quint32 *pixels = g.sortedPixel.data();
    const double radius = imageRadius;

    // Newest to oldest, each frame overwriting what the newer ones wrote: the oldest frame
    // that reaches a pixel wins, and beam B, painted after every beam A, wins over beam A.
    for (int beam = 0; beam < (drawB ? 2 : 1); ++beam) {
        for (int k = num - 1; k >= 0; --k) {
            const packageInfo *head = heads[k];
            const uchar *samples = data[k];
            if (!head || !samples)
                continue;
            const double maxDist = head->maxDist;
            if (!usable(maxDist))
                continue;
            const double limit = beamBins(*head, bytes[k], lastNumPerRow, beam);
            if (limit <= 0)
                continue;
            const double direction = head->direction;
            const double centre = wrapCentre(beam == 0 ? direction : direction + 180.0);
            const double w = 0.6 * double(head->vez25EDirectionAngle);
            const double lo = centre - w;
            const double hi = centre + w;
            // The bounds are also tried a turn lower and higher, so a sector across the
            // bearing +-180 paints on both sides of the seam.
            for (const double shift : {0.0, -360.0, 360.0}) {
                const double sLo = lo + shift;
                const double sHi = hi + shift;
                if (!(sLo < sHi))
                    continue;
                const std::size_t begin = std::upper_bound(angles, angles + cellCount, sLo) - angles;
                const std::size_t end = std::lower_bound(angles, angles + cellCount, sHi) - angles;
                for (std::size_t i = begin; i < end; ++i) {
                    const double bin = std::round(maxDist * dists[i] / radius / lastReso);
                    if (bin >= 0 && bin < limit)
                        out[pixels[i]] = sampleAt(samples, static_cast<quint64>(bin) * lastNumPerRow + beam);
                }
            }
        }
    }
    return centres;
}
