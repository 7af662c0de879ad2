#pragma once

#include "FrameBuffer.h"
#include "PackageInfo.h"

#include <QtGlobal>

// Turns the stream of data packets into whole frames. Two buffers of header plus
// 500 x packetSize data bytes: the current one is being filled, the other holds the frame most
// recently finished. Not thread-safe: one thread at a time (the live loop or a replay).
//
// What a frame costs is bounded by what its packets delivered, not by the size its header
// claims: a buffer is cleared, and a finished frame copied out to a FrameBuffer, only where
// packets were stored.
//
// Use: call addPacket for every packet; whenever it returns 1, call takeFrame before the next
// addPacket (the next 1 overwrites the finished frame).
class FrameAssembler
{
public:
    // Builds both zeroed buffers; buffer A is current.
    // packetSize must be set before the first assembler is built.
    FrameAssembler();
    ~FrameAssembler();

    FrameAssembler(const FrameAssembler &) = delete;
    FrameAssembler &operator=(const FrameAssembler &) = delete;

    // Data capacity of one frame buffer: 500 x packetSize bytes (508000 for 1016-byte packets).
    static qint64 frameCapacity();

    // Takes one packet of packetSize bytes (256-byte header, then payload).
    // Returns -1 when the packet is rejected (unknown dataWidth, payload larger than a packet
    // can carry, or a slice that would not lie wholly inside the frame capacity); nothing
    // changes then. Returns 0 when the packet is stored and the frame is not finished, 1 when
    // a frame is finished and waits to be taken.
    int addPacket(const void *packet);

    // Data bytes of the finished frame: packNumPerFrame x rowNumPerPack x numPerRow x sample
    // bytes of its header, at most frameCapacity(). A replay with a smaller buffer can use it
    // to size the buffer or to skip the frame.
    qint64 finishedFrameBytes() const;

    // Copies the finished frame out: its 256-byte header to *header, then its data to data,
    // which has room for capacity bytes. Writes min(finishedFrameBytes(), capacity) data bytes
    // and never more; returns that count (0 for a negative capacity). Later stages must bound
    // every read of the frame data by the returned count, not by the header's own fields.
    qint64 takeFrame(packageInfo *header, void *data, qint64 capacity);
    // The same into a frame buffer: data becomes the first finishedFrameBytes() bytes of the
    // frame (zero beyond), touching only the chunks that packets wrote. Returns that count.
    qint64 takeFrame(packageInfo *header, FrameBuffer &data);

    // Drops the frame in progress: the current buffer becomes fresh, as after a finished
    // frame. A replay starts with it, so that a frame a live stream left half-filled is not
    // finished by the recording's first packet (nor a recording's by the live stream's).
    void reset();

private:
    void swapBuffers();
    void store(const packageInfo &head, const quint8 *payload, qint64 offset, qint64 bytes);

    packageInfo m_headerA;
    packageInfo m_headerB;
    packageInfo *m_curHeader;
    FrameBuffer m_dataA;
    FrameBuffer m_dataB;
    FrameBuffer *m_curData;
    bool m_curIsA;
};
