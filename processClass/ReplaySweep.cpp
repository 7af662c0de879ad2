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
    m_spanFirst = {};
    m_spans = {};
    m_samples.reset();
    m_capacity = 0;
    m_batch = {};
}

void ReplaySweep::clearFrames()
{
    m_count = 0;
    m_bytes = 0;
    m_kept = 0;
    m_spans.clear();
    m_swept = 0;
}

void ReplaySweep::reserveSamples(quint64 bytes)
{
    if (bytes <= m_capacity)
        return;
    // Doubling, from 1 MiB, but never past maxBytes unless the frame in hand needs it. realloc
    // moves a block of many megabytes by remapping its pages, so growing near the bound needs
    // no second copy of the sweep.
    const quint64 capacity =
        std::max(bytes, std::min(std::max(2 * m_capacity, quint64(1) << 20), maxBytes));
    void *grown = std::realloc(m_samples.get(), std::size_t(capacity));
    if (!grown)
        throw std::bad_alloc();
    (void)m_samples.release();
    m_samples.reset(static_cast<uchar *>(grown));
    m_capacity = capacity;
}

bool ReplaySweep::add(const packageInfo &head, const uchar *data, quint64 bytes)
{
    std::vector<FrameBuffer::Piece> whole;
    if (data)
        whole.push_back({0, qint64(std::min<quint64>(bytes, quint64(1) << 62)), data});
    return add(head, whole, data ? bytes : 0);
}

bool ReplaySweep::add(const packageInfo &head, const std::vector<FrameBuffer::Piece> &pieces,
                      quint64 bytes)
{
    const quint64 wanted = 2ull * head.numPerRow * head.dataHeight;
    const qint64 size = qint64(std::min({wanted, bytes, quint64(1) << 62}));
    quint64 keep = 0;
    for (const FrameBuffer::Piece &piece : pieces) {
        const qint64 end = std::min(piece.end, size);
        if (piece.begin >= 0 && piece.begin < end)
            keep += quint64(end - piece.begin);
    }
    // Everything that can throw comes first, so that a failure leaves the sweep as it was.
    reserveSamples(m_kept + keep);
    const std::size_t k = std::size_t(m_count);
    // Each list grows on its own, so that one that could not grow leaves none of them short.
    const auto grow = [k](auto &list) {
        if (list.size() <= k)
            list.resize(k + 1);
    };
    grow(m_heads);
    grow(m_offsets);
    grow(m_sizes);
    grow(m_spanFirst);
    // Grown by doubling: reserving just this frame's spans would copy the list at every frame.
    if (m_spans.capacity() - m_spans.size() < pieces.size())
        m_spans.reserve(std::max(2 * m_spans.capacity(), m_spans.size() + pieces.size()));

    m_swept += stepAngle(m_lastDirection, head.direction);
    m_lastDirection = head.direction;
    m_heads[k] = head;
    m_offsets[k] = m_kept;
    m_sizes[k] = quint64(size);
    m_spanFirst[k] = m_spans.size();
    for (const FrameBuffer::Piece &piece : pieces) {
        const qint64 end = std::min(piece.end, size);
        if (piece.begin < 0 || piece.begin >= end)
            continue;
        std::memcpy(m_samples.get() + m_kept, piece.data, std::size_t(end - piece.begin));
        m_kept += quint64(end - piece.begin);
        m_spans.push_back({piece.begin, end});
    }
    ++m_count;
    // Counted at the frame's size, kept or not, so that sweeps close where they always did.
    m_bytes += quint64(size);
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
        const uchar *data = m_samples ? m_samples.get() + m_offsets[k] : nullptr;
        m_batch.data[k] = data;
        m_batch.bytes[k] = quint32(m_sizes[k]);
        const std::size_t first = m_spanFirst[k];
        const std::size_t last = k + 1 < std::size_t(m_count) ? m_spanFirst[k + 1] : m_spans.size();
        // A list of this frame's own size: a slot does not keep the room an earlier sweep's
        // frame needed.
        std::vector<FrameBuffer::Piece> pieces;
        pieces.reserve(last - first);
        qint64 at = 0;
        for (std::size_t i = first; i < last; ++i) {
            const FrameBuffer::Span &span = m_spans[i];
            pieces.push_back({span.begin, span.end, data + at});
            at += span.end - span.begin;
        }
        m_batch.pieces[k] = std::move(pieces);
    }
    return m_batch;
}
