#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// A frame's data area that knows where it was written. Every byte outside the chunks written
// since the last clear is zero, so clearing and copying touch only those chunks: a frame whose
// header claims 500 packets but whose packets delivered one costs one chunk, not the whole
// area.
class FrameBuffer
{
public:
    // Written bytes are tracked in chunks of this size (a multiple of a range bin's 4 bytes).
    static constexpr qint64 chunkBytes = 1024;

    // Bytes [begin, end) that may hold data; everything outside such spans is zero.
    struct Span
    {
        qint64 begin;
        qint64 end;
    };

    // Bytes [begin, end) of a frame that lie at data; begin is on a chunk border.
    struct Piece
    {
        qint64 begin;
        qint64 end;
        const quint8 *data;
    };

    // An all-zero area of capacity bytes.
    explicit FrameBuffer(qint64 capacity);

    FrameBuffer(const FrameBuffer &) = delete;
    FrameBuffer &operator=(const FrameBuffer &) = delete;

    qint64 capacity() const { return m_capacity; }
    const quint8 *data() const { return m_data.get(); }

    // Copies count bytes from source to offset; the caller keeps them inside the capacity.
    void write(qint64 offset, const void *source, qint64 count);
    // Zeroes what was written since the last clear.
    void clear();
    // Becomes the first bytes bytes of other, zero beyond them.
    void assign(const FrameBuffer &other, qint64 bytes);

    // The written chunks below limit, in ascending order, neighbours merged, clipped to limit.
    void spans(qint64 limit, std::vector<Span> &out) const;
    // The same spans as pieces of this buffer.
    void pieces(qint64 limit, std::vector<Piece> &out) const;

private:
    void mark(qint64 first, qint64 last);
    // Calls f(begin, end) for each run of written chunks below limit, in order.
    template<typename F>
    void forEachRun(qint64 limit, F f) const;

    qint64 m_capacity;
    std::unique_ptr<quint8[]> m_data;
    // One bit per chunk.
    std::vector<quint64> m_written;
};
