#include "processClass/PolarImage.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

namespace {

constexpr int cellCount = PolarImage::imageRows * PolarImage::imageCols;
constexpr int bucketSize = 256;
constexpr int bucketCount = cellCount / bucketSize;
static_assert(cellCount % bucketSize == 0, "buckets tile the image");

// The geometry is the same for every image, so it is built once per process. Besides the two
// tables it keeps the cells in buckets of neighbouring bearings: buckets ordered by bearing,
// the cells of one bucket ordered by distance from the centre. A sector is then a run of
// buckets, and since a frame's range bins grow (or shrink) with the distance, the cells one
// frame paints in a bucket are the leading run of the cells still unpainted in it.
struct Geometry
{
    std::vector<double> m_angle; // per table cell, degrees in (-180, 180]
    std::vector<double> m_dist;  // per table cell, pixels from the centre
    // Per cell in bucket order.
    std::vector<double> m_cellAngle;
    std::vector<double> m_cellDist;
    std::vector<quint32> m_cellPixel; // index into the image (row flipped)
    // Smallest and largest bearing in each bucket; both rise from bucket to bucket.
    std::vector<double> m_bucketMin;
    std::vector<double> m_bucketMax;

    Geometry()
        : m_angle(cellCount), m_dist(cellCount), m_cellAngle(cellCount), m_cellDist(cellCount),
          m_cellPixel(cellCount), m_bucketMin(bucketCount), m_bucketMax(bucketCount)
    {
        for (int r = 0; r < PolarImage::imageRows; ++r) {
            for (int c = 0; c < PolarImage::imageCols; ++c) {
                const double dc = c - PolarImage::centerCol;
                const double dr = r - PolarImage::centerRow;
                const int i = r * PolarImage::imageCols + c;
                m_angle[i] = std::atan2(dc, dr) * 180.0 / M_PI;
                m_dist[i] = std::sqrt(dc * dc + dr * dr);
            }
        }
        std::vector<quint32> order(cellCount);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [this](quint32 x, quint32 y) { return m_angle[x] < m_angle[y]; });
        for (int b = 0; b < bucketCount; ++b) {
            const auto first = order.begin() + b * bucketSize;
            m_bucketMin[b] = m_angle[*first];
            m_bucketMax[b] = m_angle[*(first + bucketSize - 1)];
            std::stable_sort(first, first + bucketSize,
                             [this](quint32 x, quint32 y) { return m_dist[x] < m_dist[y]; });
        }
        for (int k = 0; k < cellCount; ++k) {
            const quint32 cell = order[k];
            const quint32 r = cell / PolarImage::imageCols;
            const quint32 c = cell % PolarImage::imageCols;
            m_cellAngle[k] = m_angle[cell];
            m_cellDist[k] = m_dist[cell];
            m_cellPixel[k] = (PolarImage::imageRows - 1 - r) * PolarImage::imageCols + c;
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

// The range bin of a cell, rounded half away from zero, when it lies in 0 .. limit - 1: the
// same test as rounding with std::round and comparing, without the library call. limit is a
// whole number below 2^52, so limit - 0.5 and x minus its whole part are exact.
bool rangeBin(double x, double limit, quint64 &bin)
{
    if (!(x > -0.5 && x < limit - 0.5))
        return false;
    const quint64 whole = x > 0 ? static_cast<quint64>(x) : 0;
    bin = whole + (x - static_cast<double>(whole) >= 0.5 ? 1 : 0);
    return true;
}

quint16 sampleAt(const uchar *data, quint64 index)
{
    quint16 v;
    std::memcpy(&v, data + 2 * index, sizeof v);
    return v;
}

// Sample index of a frame kept in chunks of FrameBuffer::chunkBytes (an even size: no sample
// straddles two); the bytes of a chunk beyond those present are zeros.
template<typename C>
quint16 chunkSample(const C *chunks, quint64 index)
{
    const quint64 at = 2 * index;
    const C &c = chunks[at / FrameBuffer::chunkBytes];
    const quint64 offset = at % FrameBuffer::chunkBytes;
    if (offset + 2 <= c.bytes) {
        quint16 v;
        std::memcpy(&v, c.data + offset, sizeof v);
        return v;
    }
    return offset < c.bytes ? quint16(c.data[offset]) : 0;
}

// A sector as open intervals of bearing: its bounds as they are, a turn lower and a turn
// higher, so that a sector across the bearing +-180 paints on both sides of the seam. A
// sector of a full turn or more covers every bearing through these three at once.
struct Sector
{
    struct Interval
    {
        double lo;
        double hi;
    };
    Interval m_parts[3];
    int m_count = 0;

    Sector(double centre, double halfWidth)
    {
        const double lo = centre - halfWidth;
        const double hi = centre + halfWidth;
        for (const double shift : {-360.0, 0.0, 360.0}) {
            const double sLo = lo + shift;
            const double sHi = hi + shift;
            if (sLo < sHi)
                m_parts[m_count++] = {sLo, sHi};
        }
    }
    bool contains(double a) const
    {
        for (int i = 0; i < m_count; ++i)
            if (m_parts[i].lo < a && a < m_parts[i].hi)
                return true;
        return false;
    }
    // Whether one interval holds all of [a, b].
    bool holds(double a, double b) const
    {
        for (int i = 0; i < m_count; ++i)
            if (m_parts[i].lo < a && b < m_parts[i].hi)
                return true;
        return false;
    }
};

} // namespace

// One frame as one beam paints it: its bytes at samples, or through a chunk table.
struct PolarImage::Frame
{
    const uchar *samples;
    const Chunk *chunks;
    double maxDist;
    double limit; // bins this beam may read
    double centre;
    double halfWidth;
};

PolarImage::PolarImage()
    : m_accImage(cellCount, 0), m_progress(bucketCount, 0), m_stamp(cellCount, 0)
{
    geometry();
}

void PolarImage::clear()
{
    std::fill(m_accImage.begin(), m_accImage.end(), 0);
}

const std::vector<double> &PolarImage::angleTable() const
{
    return geometry().m_angle;
}

const std::vector<double> &PolarImage::distTable() const
{
    return geometry().m_dist;
}

double PolarImage::wrapCentre(double bearing)
{
    if (bearing < -180.0)
        bearing += 360.0;
    if (bearing > 180.0)
        bearing -= 360.0;
    return bearing;
}

void PolarImage::beginCall()
{
    std::fill(m_progress.begin(), m_progress.end(), 0u);
    if (++m_pass == 0) {
        std::fill(m_stamp.begin(), m_stamp.end(), 0u);
        m_pass = 1;
    }
}

void PolarImage::paintBeam(const Frame &frame, int beam, quint16 numPerRow, double lastReso,
                           quint16 *out)
{
    const Geometry &g = geometry();
    const Sector sector(frame.centre, frame.halfWidth);
    if (sector.m_count == 0)
        return;
    const double radius = imageRadius;
    const quint32 pass = m_pass;
    quint32 *stamp = m_stamp.data();
    // A cell is painted when its range bin lies inside what the frame holds. The bin grows
    // (or, with a negative scale, shrinks) with the distance, so along a bucket the first
    // cell that fails ends the frame's run there.
    auto paint = [&](quint32 i) {
        quint64 bin;
        if (!rangeBin(frame.maxDist * g.m_cellDist[i] / radius / lastReso, frame.limit, bin))
            return false;
        const quint64 index = bin * numPerRow + beam;
        out[g.m_cellPixel[i]] =
            frame.chunks ? chunkSample(frame.chunks, index) : sampleAt(frame.samples, index);
        return true;
    };

    // The intervals rise, so their runs of buckets do too; where they overlap, each bucket
    // is still visited once.
    int next = 0;
    for (int part = 0; part < sector.m_count; ++part) {
        const Sector::Interval &iv = sector.m_parts[part];
        const int first = int(std::upper_bound(g.m_bucketMax.begin(), g.m_bucketMax.end(), iv.lo)
                              - g.m_bucketMax.begin());
        const int end = int(std::lower_bound(g.m_bucketMin.begin(), g.m_bucketMin.end(), iv.hi)
                            - g.m_bucketMin.begin());
        for (int b = std::max(first, next); b < end; ++b) {
            const quint32 begin = quint32(b) * bucketSize;
            const quint32 stop = begin + bucketSize;
            quint32 i = begin + m_progress[b];
            // Cells before the progress mark are painted; beyond it, painted cells carry
            // the stamp of this call.
            if (sector.holds(g.m_bucketMin[b], g.m_bucketMax[b])) {
                for (; i < stop; ++i) {
                    if (stamp[i] != pass && !paint(i))
                        break;
                }
            } else {
                for (quint32 j = i; j < stop; ++j) {
                    if (stamp[j] == pass || !sector.contains(g.m_cellAngle[j]))
                        continue;
                    if (!paint(j))
                        break;
                    stamp[j] = pass;
                }
                while (i < stop && stamp[i] == pass)
                    ++i;
            }
            m_progress[b] = i - begin;
        }
        next = std::max(next, end);
    }
}

PolarImage::Centres PolarImage::generateImagefor10(const packageInfo *const *heads,
                                                   const uchar *const *data, const quint32 *bytes,
                                                   int num, quint16 *out)
{
    return generate(heads, data, nullptr, bytes, num, out);
}

PolarImage::Centres PolarImage::generateImagefor10(const packageInfo *const *heads,
                                                   const std::vector<FrameBuffer::Piece> *pieces,
                                                   const quint32 *bytes, int num, quint16 *out)
{
    return generate(heads, nullptr, pieces, bytes, num, out);
}

void PolarImage::tableChunks(const std::vector<FrameBuffer::Piece> &pieces, quint32 bytes)
{
    const qint64 chunk = FrameBuffer::chunkBytes;
    m_chunks.assign(std::size_t((qint64(bytes) + chunk - 1) / chunk), Chunk{nullptr, 0});
    for (const FrameBuffer::Piece &piece : pieces) {
        const qint64 end = std::min<qint64>(piece.end, bytes);
        if (piece.begin < 0 || piece.begin % chunk != 0 || !piece.data)
            continue;
        for (qint64 c = piece.begin / chunk; c * chunk < end; ++c)
            m_chunks[std::size_t(c)] = {piece.data + (c * chunk - piece.begin),
                                        quint32(std::min(chunk, end - c * chunk))};
    }
}

PolarImage::Centres PolarImage::generate(const packageInfo *const *heads, const uchar *const *data,
                                         const std::vector<FrameBuffer::Piece> *pieces,
                                         const quint32 *bytes, int num, quint16 *out)
{
    Centres centres;
    if (!heads || !(data || pieces) || !bytes || !out || num < 1) {
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

    // A pixel takes the sample of the oldest frame whose beam B reaches it, else of the oldest
    // frame whose beam A does, else keeps its value: beam B wins over beam A. So beam B is
    // painted first, oldest frame first, and each pixel is written at most once.
    beginCall();
    for (int beam = drawB ? 1 : 0; beam >= 0; --beam) {
        for (int k = 0; k < num; ++k) {
            const packageInfo *head = heads[k];
            if (!head || (data && !data[k]))
                continue;
            Frame frame;
            frame.samples = data ? data[k] : nullptr;
            frame.chunks = nullptr;
            frame.maxDist = head->maxDist;
            if (!usable(frame.maxDist))
                continue;
            frame.limit = beamBins(*head, bytes[k], lastNumPerRow, beam);
            if (frame.limit <= 0)
                continue;
            if (pieces) {
                tableChunks(pieces[k], bytes[k]);
                frame.chunks = m_chunks.data();
            }
            const double direction = head->direction;
            frame.centre = wrapCentre(beam == 0 ? direction : direction + 180.0);
            frame.halfWidth = 0.6 * double(head->vez25EDirectionAngle);
            paintBeam(frame, beam, lastNumPerRow, lastReso, out);
        }
    }
    return centres;
}
