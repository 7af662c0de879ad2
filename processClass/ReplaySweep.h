#pragma once

#include "FrameBuffer.h"
#include "PackageInfo.h"

#include <QtGlobal>

#include <cstdlib>
#include <memory>
#include <vector>

// The frames of one replayed sweep, kept until they are drawn and stored as one image: until
// the head has swept 180 degrees, or, for a head that is parked or turns backwards and so never
// gets there, until the sweep holds maxFrames frames or maxBytes bytes of samples.
//
// The swept angle grows by the step from one frame's direction to the next, taken forwards
// (a negative step plus 360); a step of 30 degrees or more, which includes every step
// backwards, adds nothing. The samples of a sweep lie in one buffer, kept from sweep to sweep,
// so a replay allocates only while its sweeps grow, and what it keeps is never more than one
// sweep's bound, whatever the sweeps before held. A buffer that cannot grow throws
// std::bad_alloc; the sweep is left as it was.
class ReplaySweep
{
public:
    static constexpr int maxFrames = 20000;
    // 20000 frames of 4000 bins of two 16-bit beams.
    static constexpr quint64 maxBytes = quint64(maxFrames) * 16000;
    static constexpr float sweepAngle = 180.0f;

    // The angle a frame at direction adds after a frame at last (negative: no frame before).
    static float stepAngle(float last, float direction);

    // A new part: no frames, nothing swept, no previous direction.
    void restart();
    // Keeps the header and the sample bytes of one frame: 2 x numPerRow x dataHeight bytes of
    // data, but never more than the bytes the frame delivered. Returns true when the sweep is
    // complete and must be drawn now.
    bool add(const packageInfo &head, const uchar *data, quint64 bytes);
    // The same for a frame whose bytes lie in pieces (FrameBuffer::pieces), zeros elsewhere:
    // only the pieces are copied, and the drawing paints the zeros without reading them.
    bool add(const packageInfo &head, const std::vector<FrameBuffer::Piece> &pieces, quint64 bytes);
    // After drawing: no frames, nothing swept; the last direction stays for the next frame.
    void clearFrames();
    // At the end of a part: as restart(), and the buffers are given back.
    void release();

    int size() const { return m_count; }
    float sweptAngle() const { return m_swept; }
    quint64 bytes() const { return m_bytes; }
    // The sample bytes the sweep has room for: at most maxBytes, or the bytes of the sweep
    // whose last frame took it past maxBytes.
    quint64 heldBytes() const { return m_capacity; }

    // The batch as the accumulation takes it, oldest frame first; valid until the next add.
    // data[k] holds frame k's kept bytes one piece after the other, pieces[k] says where they
    // lie in the frame, bytes[k] is the frame's size.
    struct Batch
    {
        std::vector<const packageInfo *> heads;
        std::vector<const uchar *> data;
        std::vector<quint32> bytes;
        std::vector<std::vector<FrameBuffer::Piece>> pieces;
    };
    const Batch &batch();

private:
    struct FreeSamples
    {
        void operator()(uchar *samples) const { std::free(samples); }
    };
    void reserveSamples(quint64 bytes);

    std::vector<packageInfo> m_heads;
    // Each frame's kept pieces lie one after the other in m_samples, from m_offsets[k]; where
    // they lie in the frame is m_spans[m_spanFirst[k]] onwards, up to the next frame's first.
    std::vector<quint64> m_offsets;
    std::vector<quint64> m_sizes;
    std::vector<std::size_t> m_spanFirst;
    std::vector<FrameBuffer::Span> m_spans;
    std::unique_ptr<uchar, FreeSamples> m_samples;
    quint64 m_capacity = 0;
    // Bytes of m_samples in use; m_bytes counts every frame at its whole size.
    quint64 m_kept = 0;
    int m_count = 0;
    quint64 m_bytes = 0;
    float m_lastDirection = -1;
    float m_swept = 0;
    Batch m_batch;
};
