#include "ReplaySweep.h"

#include <algorithm>
#include <cstring>
#include <new>

float ReplaySweep::stepAngle(float last, float direction)
{
    float d = direction - (last >= 0 ? last : direction);
    if (d < 0)
        d += 360.0f;
    // NaN fails this test too and adds nothing.
    return d < 30.0f ? d : 0.0f;
}

void ReplaySweep::restart()
{
    clearFrames();
    m_lastDirection = -1;
}

void ReplaySweep::release()
{
    restart();
    m_heads = {};
    m_offsets = {};
    m_sizes = {};
    m_samples.reset();
    m_capacity = 0;
    m_batch = {};
}

void ReplaySweep::clearFrames()
{
    m_count = 0;
    m_bytes = 0;
    m_swept = 0;
}

void ReplaySweep::reserveSamples(quint64 bytes)
{
    if (bytes <= m_capacity)
        return;
    // Doubling, from 1 MiB, but never past maxBytes unless the frame in hand needs it. realloc
    // moves a block of many megabytes by remapping its pages, so growing near the bound needs
    // no second copy of the sweep.
    const quint64 capacity = std::max(bytes, std::min(std::max(2 * m_capacity, quint64(1) << 20), maxBytes));
    void *grown = std::realloc(m_samples.get(), std::size_t(capacity));
    if (!grown)
        throw std::bad_alloc();
    (void)m_samples.release();
    m_samples.reset(static_cast<uchar *>(grown));
    m_capacity = capacity;
}

bool ReplaySweep::add(const packageInfo &head, const uchar *data, quint64 bytes)
{
    const quint64 wanted = 2ull * head.numPerRow * head.dataHeight;
    const quint64 keep = data ? std::min(wanted, bytes) : 0;
    reserveSamples(m_bytes + keep);
    if (std::size_t(m_count) == m_heads.size()) {
        m_heads.emplace_back();
        m_offsets.emplace_back();
        m_sizes.emplace_back();
    }

    m_swept += stepAngle(m_lastDirection, head.direction);
    m_lastDirection = head.direction;
    if (keep > 0)
        std::memcpy(m_samples.get() + m_bytes, data, std::size_t(keep));
    m_heads[std::size_t(m_count)] = head;
    m_offsets[std::size_t(m_count)] = m_bytes;
    m_sizes[std::size_t(m_count)] = quint32(keep);
    ++m_count;
    m_bytes += keep;
    return m_swept >= sweepAngle || m_count >= maxFrames || m_bytes >= maxBytes;
}

const ReplaySweep::Batch &ReplaySweep::batch()
{
    m_batch.heads.resize(std::size_t(m_count));
    m_batch.data.resize(std::size_t(m_count));
    m_batch.bytes.resize(std::size_t(m_count));
    for (std::size_t k = 0; k < std::size_t(m_count); ++k) {
        m_batch.heads[k] = &m_heads[k];
        m_batch.data[k] = m_samples ? m_samples.get() + m_offsets[k] : nullptr;
        m_batch.bytes[k] = m_sizes[k];
    }
    return m_batch;
}
