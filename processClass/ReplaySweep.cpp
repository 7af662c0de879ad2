#include "ReplaySweep.h"

#include <algorithm>

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
    m_data = {};
    m_limits = {};
    m_batch = {};
}

void ReplaySweep::clearFrames()
{
    m_count = 0;
    m_bytes = 0;
    m_swept = 0;
}

bool ReplaySweep::add(const packageInfo &head, const uchar *data, quint64 bytes, quint64 held)
{
    m_swept += stepAngle(m_lastDirection, head.direction);
    m_lastDirection = head.direction;

    const quint64 wanted = 2ull * head.numPerRow * head.dataHeight;
    const quint64 limit = data ? std::min(wanted, bytes) : 0;
    const std::size_t keep = std::size_t(std::min(limit, held));
    if (std::size_t(m_count) == m_heads.size()) {
        m_heads.emplace_back();
        m_data.emplace_back();
        m_limits.emplace_back();
    }
    m_heads[std::size_t(m_count)] = head;
    m_limits[std::size_t(m_count)] = limit;
    m_data[std::size_t(m_count)].assign(data, data + keep);
    ++m_count;
    // Counted at the frame's size, held or not, so that sweeps close where they always did.
    m_bytes += limit;
    return m_swept >= sweepAngle || m_count >= maxFrames || m_bytes >= maxBytes;
}

const ReplaySweep::Batch &ReplaySweep::batch()
{
    m_batch.heads.resize(std::size_t(m_count));
    m_batch.data.resize(std::size_t(m_count));
    m_batch.bytes.resize(std::size_t(m_count));
    m_batch.held.resize(std::size_t(m_count));
    for (std::size_t k = 0; k < std::size_t(m_count); ++k) {
        m_batch.heads[k] = &m_heads[k];
        m_batch.data[k] = m_data[k].data();
        m_batch.bytes[k] = quint32(m_limits[k]);
        m_batch.held[k] = quint32(m_data[k].size());
    }
    return m_batch;
}
