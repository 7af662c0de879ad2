#include "FrameAssembler.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 kPacketsPerFrame = 500;
constexpr qint64 kHeaderBytes = sizeof(packageInfo);

} // namespace

FrameAssembler::FrameAssembler() : m_dataA(frameCapacity()), m_dataB(frameCapacity())
{
    std::memset(static_cast<void *>(&m_headerA), 0, sizeof m_headerA);
    std::memset(static_cast<void *>(&m_headerB), 0, sizeof m_headerB);
    m_curHeader = &m_headerA;
    m_curData = &m_dataA;
    m_curIsA = true;
}

FrameAssembler::~FrameAssembler() = default;

qint64 FrameAssembler::frameCapacity()
{
    return kPacketsPerFrame * qint64(packetSize);
}

int FrameAssembler::addPacket(const void *packet)
{
    packageInfo head;
    std::memcpy(static_cast<void *>(&head), packet, sizeof head);
    const quint8 *payload = static_cast<const quint8 *>(packet) + kHeaderBytes;

    const int sampleBytes = QvForwardSDK::sampleBytesOf(head.dataWidth);
    if (sampleBytes == 0)
        return -1;

    // Products of 16-bit fields overflow 32 bits: all bounds in 64-bit arithmetic.
    const qint64 payloadBytes = qint64(head.numPerRow) * sampleBytes * qint64(head.rowNumPerPack);
    const qint64 offset = qint64(head.packSerialNum) * payloadBytes;
    if (payloadBytes > qint64(packetSize) - kHeaderBytes || offset + payloadBytes > frameCapacity())
        return -1;

    const quint16 storedCount = m_curHeader->packNumPerFrame;
    if (storedCount == 0) {
        store(head, payload, offset, payloadBytes);
        if (head.packNumPerFrame == 1) {
            swapBuffers();
            return 1;
        }
        return 0;
    }
    if (head.packSerialNum == storedCount - 1) {
        store(head, payload, offset, payloadBytes);
        swapBuffers();
        return 1;
    }
    if (head.frameSerialNum == m_curHeader->frameSerialNum) {
        store(head, payload, offset, payloadBytes);
        return 0;
    }
    // A packet of another frame before this frame's last one: hand over the incomplete frame.
    swapBuffers();
    store(head, payload, offset, payloadBytes);
    return 1;
}

qint64 FrameAssembler::finishedFrameBytes() const
{
    const packageInfo &head = m_curIsA ? m_headerB : m_headerA;
    const int sampleBytes = QvForwardSDK::sampleBytesOf(head.dataWidth);
    const qint64 bytes = qint64(head.packNumPerFrame) * qint64(head.rowNumPerPack)
                         * qint64(head.numPerRow) * sampleBytes;
    return std::min(bytes, frameCapacity());
}

qint64 FrameAssembler::takeFrame(packageInfo *header, void *data, qint64 capacity)
{
    const packageInfo &head = m_curIsA ? m_headerB : m_headerA;
    const FrameBuffer &finished = m_curIsA ? m_dataB : m_dataA;
    std::memcpy(static_cast<void *>(header), &head, sizeof head);
    const qint64 bytes = std::clamp<qint64>(capacity, 0, finishedFrameBytes());
    if (bytes > 0)
        std::memcpy(data, finished.data(), std::size_t(bytes));
    return bytes;
}

qint64 FrameAssembler::takeFrame(packageInfo *header, FrameBuffer &data)
{
    const packageInfo &head = m_curIsA ? m_headerB : m_headerA;
    std::memcpy(static_cast<void *>(header), &head, sizeof head);
    const qint64 bytes = finishedFrameBytes();
    data.assign(m_curIsA ? m_dataB : m_dataA, bytes);
    return bytes;
}

void FrameAssembler::store(const packageInfo &head, const quint8 *payload, qint64 offset,
                           qint64 bytes)
{
    std::memcpy(static_cast<void *>(m_curHeader), &head, sizeof head);
    m_curData->write(offset, payload, bytes);
}

void FrameAssembler::reset()
{
    std::memset(static_cast<void *>(m_curHeader), 0, sizeof *m_curHeader);
    m_curData->clear();
}

void FrameAssembler::swapBuffers()
{
    m_curIsA = !m_curIsA;
    m_curHeader = m_curIsA ? &m_headerA : &m_headerB;
    m_curData = m_curIsA ? &m_dataA : &m_dataB;
    std::memset(static_cast<void *>(m_curHeader), 0, sizeof *m_curHeader);
    m_curData->clear();
}
