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
    m_sizes = {};
    m_spans = {};
    m_batch = {};
}

void ReplaySweep::clearFrames()
{
    m_count = 0;
    m_bytes = 0;
    m_swept = 0;
}

bool ReplaySweep::add(const packageInfo &head, const uchar *data, quint64 bytes)
{
    std::vector<FrameBuffer::Piece> whole;
    if (data)
        whole.push_back({ 0, qint64(std::min<quint64>(bytes, quint64(1) << 62)), data });
    return add(head, whole, data ? bytes : 0);
}

bool ReplaySweep::add(const packageInfo &head, const std::vector<FrameBuffer::Piece> &pieces, quint64 bytes)
{
    m_swept += stepAngle(m_lastDirection, head.direction);
    m_lastDirection = head.direction;

    const quint64 wanted = 2ull * head.numPerRow * head.dataHeight;
    const quint64 size = std::min(wanted, bytes);
    if (std::size_t(m_count) == m_heads.size()) {
        m_heads.emplace_back();
        m_data.emplace_back();
        m_sizes.emplace_back();
        m_spans.emplace_back();
    }
    const std::size_t k = std::size_t(m_count);
    m_heads[k] = head;
    m_sizes[k] = size;
    m_data[k].clear();
    m_spans[k].clear();
    for (const FrameBuffer::Piece &piece : pieces) {
        const qint64 end = qint64(std::min<quint64>(quint64(piece.end), size));
        if (piece.begin < 0 || piece.begin >= end)
            continue;
        m_data[k].insert(m_data[k].end(), piece.data, piece.data + (end - piece.begin));
        m_spans[k].push_back({ piece.begin, end });
    }
    ++m_count;
    // Counted at the frame's size, kept or not, so that sweeps close where they always did.
    m_bytes += size;
    return m_swept >= sweepAngle || m_count >= maxFrames || m_bytes >= maxBytes;
}

const ReplaySweep::Batch &ReplaySweep::batch()
{
    m_batch.heads.resize(std::size_t(m_count));
    m_batch.data.resize(std::size_t(m_count));
    m_batch.bytes.resize(std::size_t(m_count));
    m_batch.pieces.resize(std::size_t(m_count));
    for (std::size_t k = 0; k < std::size_t(m_count); ++k) {
        m_batch.heads[k] = &m_heads[k];
        m_batch.data[k] = m_data[k].data();
        m_batch.bytes[k] = quint32(m_sizes[k]);
        std::vector<FrameBuffer::Piece> &pieces = m_batch.pieces[k];
        pieces.clear();
        qint64 at = 0;
        for (const FrameBuffer::Span &span : m_spans[k]) {
            pieces.push_back({ span.begin, span.end, m_data[k].data() + at });
            at += span.end - span.begin;
        }
    }
    return m_batch;
}
