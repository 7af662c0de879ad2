#pragma once

#include "PackageInfo.h"

#include <QtGlobal>

#include <vector>

// The frames of one replayed sweep, kept until they are drawn and stored as one image: until
// the head has swept 180 degrees, or, for a head that is parked or turns backwards and so never
// gets there, until the sweep holds maxFrames frames or maxBytes bytes of samples.
//
// The swept angle grows by the step from one frame's direction to the next, taken forwards
// (a negative step plus 360); a step of 30 degrees or more, which includes every step
// backwards, adds nothing. The buffers are kept from sweep to sweep, so a replay allocates
// only while its sweeps grow.
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
    // data, but never more than the frame's bytes. Of those, only the first held are copied:
    // the rest are zeros (a frame whose packets delivered less than it claims), which the
    // drawing paints without reading. Returns true when the sweep is complete and must be
    // drawn now.
    bool add(const packageInfo &head, const uchar *data, quint64 bytes, quint64 held = ~quint64(0));
    // After drawing: no frames, nothing swept; the last direction stays for the next frame.
    void clearFrames();
    // At the end of a part: as restart(), and the buffers are given back.
    void release();

    int size() const { return m_count; }
    float sweptAngle() const { return m_swept; }
    quint64 bytes() const { return m_bytes; }

    // The batch as the accumulation takes it, oldest frame first; valid until the next add.
    // bytes: each frame's sample bytes; held: how many of them data holds (zeros beyond).
    struct Batch
    {
        std::vector<const packageInfo *> heads;
        std::vector<const uchar *> data;
        std::vector<quint32> bytes;
        std::vector<quint32> held;
    };
    const Batch &batch();

private:
    std::vector<packageInfo> m_heads;
    std::vector<std::vector<uchar>> m_data;
    std::vector<quint64> m_limits;
    int m_count = 0;
    quint64 m_bytes = 0;
    float m_lastDirection = -1;
    float m_swept = 0;
    Batch m_batch;
};
