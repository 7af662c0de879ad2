#include "FrameBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

// Calls f(chunk) for every set bit, in ascending order.
template<typename F>
void forEachChunk(const std::vector<quint64> &bits, F f)
{
    for (std::size_t w = 0; w < bits.size(); ++w) {
        for (quint64 word = bits[w]; word != 0; word &= word - 1)
            f(qint64(w) * 64 + __builtin_ctzll(word));
    }
}

} // namespace

FrameBuffer::FrameBuffer(qint64 capacity)
    : m_capacity(std::max<qint64>(capacity, 0)), m_data(new quint8[std::size_t(m_capacity)]()),
      m_written(std::size_t((m_capacity + chunkBytes * 64 - 1) / (chunkBytes * 64)), 0)
{
}

void FrameBuffer::mark(qint64 first, qint64 last)
{
    for (qint64 c = first; c <= last; ++c)
        m_written[std::size_t(c / 64)] |= quint64(1) << (c % 64);
}

void FrameBuffer::write(qint64 offset, const void *source, qint64 count)
{
    if (count <= 0)
        return;
    std::memcpy(m_data.get() + offset, source, std::size_t(count));
    mark(offset / chunkBytes, (offset + count - 1) / chunkBytes);
}

void FrameBuffer::clear()
{
    forEachChunk(m_written, [this](qint64 c) {
        const qint64 begin = c * chunkBytes;
        std::memset(m_data.get() + begin, 0, std::size_t(std::min(chunkBytes, m_capacity - begin)));
    });
    std::fill(m_written.begin(), m_written.end(), 0);
}

void FrameBuffer::assign(const FrameBuffer &other, qint64 bytes)
{
    clear();
    const qint64 limit = std::min({bytes, m_capacity, other.m_capacity});
    forEachChunk(other.m_written, [&](qint64 c) {
        const qint64 begin = c * chunkBytes;
        const qint64 end = std::min(begin + chunkBytes, limit);
        if (begin < end)
            write(begin, other.m_data.get() + begin, end - begin);
    });
}

template<typename F>
void FrameBuffer::forEachRun(qint64 limit, F f) const
{
    const qint64 stop = std::min(limit, m_capacity);
    qint64 runBegin = 0;
    qint64 runEnd = -1;
    forEachChunk(m_written, [&](qint64 c) {
        const qint64 begin = c * chunkBytes;
        const qint64 end = std::min(begin + chunkBytes, stop);
        if (begin >= end)
            return;
        if (begin != runEnd) {
            if (runEnd > runBegin)
                f(runBegin, runEnd);
            runBegin = begin;
        }
        runEnd = end;
    });
    if (runEnd > runBegin)
        f(runBegin, runEnd);
}

void FrameBuffer::spans(qint64 limit, std::vector<Span> &out) const
{
    out.clear();
    forEachRun(limit, [&](qint64 begin, qint64 end) { out.push_back({begin, end}); });
}

void FrameBuffer::pieces(qint64 limit, std::vector<Piece> &out) const
{
    out.clear();
    forEachRun(limit, [&](qint64 begin, qint64 end) {
        out.push_back({begin, end, m_data.get() + begin});
    });
}
