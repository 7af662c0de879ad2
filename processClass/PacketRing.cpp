#include "PacketRing.h"

#include <algorithm>
#include <cstring>

// Why a torn copy is always detected: slot s holds packet n and is next overwritten by push
// n + slotCount. The writer raises m_begun to n + slotCount + 1 and then issues a release
// fence before its first store into the slot. A reader copies with relaxed loads, issues an
// acquire fence and reads m_begun. If any word it copied came from that later push, the two
// fences synchronise, so the reader's m_begun load sees at least n + slotCount + 1. A reader
// that sees m_begun <= n + slotCount therefore copied packet n only; packet n itself was
// visible to it, because it saw m_written > n (release/acquire) before copying.

namespace {

constexpr std::size_t wordBytes = sizeof(std::uint64_t);

} // namespace

PacketRing::PacketRing(quint16 slotSize, quint16 slotCount)
    : m_slotSize(slotSize),
      // A ring without slots could hold nothing; one slot keeps the arithmetic defined.
      m_slotCount(std::max<quint16>(slotCount, 1)),
      m_wordsPerSlot((std::size_t(slotSize) + wordBytes - 1) / wordBytes),
      m_words(std::make_unique<std::atomic<std::uint64_t>[]>(m_wordsPerSlot * m_slotCount))
{
}

PacketRing::~PacketRing() = default;

std::atomic<std::uint64_t> *PacketRing::slotWords(quint64 sequence) const
{
    return m_words.get() + std::size_t(sequence % m_slotCount) * m_wordsPerSlot;
}

void PacketRing::push(const void *packet, quint16 length)
{
    const std::size_t bytes = std::min<std::size_t>(length, m_slotSize);
    const quint64 sequence = m_written.load(std::memory_order_relaxed); // only the writer moves it
    m_begun.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);

    std::atomic<std::uint64_t> *slot = slotWords(sequence);
    const unsigned char *src = static_cast<const unsigned char *>(packet);
    const std::size_t whole = bytes / wordBytes;
    for (std::size_t i = 0; i < whole; ++i) {
        std::uint64_t w;
        std::memcpy(&w, src + i * wordBytes, wordBytes);
        slot[i].store(w, std::memory_order_relaxed);
    }
    if (const std::size_t rest = bytes % wordBytes) {
        // Only the writer stores into slots, so the word it reads back is its own.
        std::uint64_t w = slot[whole].load(std::memory_order_relaxed);
        std::memcpy(&w, src + whole * wordBytes, rest);
        slot[whole].store(w, std::memory_order_relaxed);
    }

    m_written.store(sequence + 1, std::memory_order_release);
}

bool PacketRing::hasDataFor(const Cursor &cursor) const
{
    std::lock_guard<std::mutex> lock(cursor.mutex);
    return cursor.next < m_written.load(std::memory_order_acquire);
}

bool PacketRing::popFor(Cursor &cursor, void *dest)
{
    std::lock_guard<std::mutex> lock(cursor.mutex);
    unsigned char *out = static_cast<unsigned char *>(dest);
    const std::size_t whole = m_slotSize / wordBytes;
    const std::size_t rest = m_slotSize % wordBytes;

    for (;;) {
        if (cursor.next >= m_written.load(std::memory_order_acquire))
            return false;

        // Packets older than begun - slotCount are overwritten or being overwritten.
        const quint64 begun = m_begun.load(std::memory_order_relaxed);
        if (begun > cursor.next + m_slotCount) {
            const quint64 oldestIntact = begun - m_slotCount;
            cursor.lost.fetch_add(oldestIntact - cursor.next, std::memory_order_relaxed);
            cursor.next = oldestIntact;
            continue;
        }

        const std::atomic<std::uint64_t> *slot = slotWords(cursor.next);
        for (std::size_t i = 0; i < whole; ++i) {
            const std::uint64_t w = slot[i].load(std::memory_order_relaxed);
            std::memcpy(out + i * wordBytes, &w, wordBytes);
        }
        if (rest) {
            const std::uint64_t w = slot[whole].load(std::memory_order_relaxed);
            std::memcpy(out + whole * wordBytes, &w, rest);
        }

        std::atomic_thread_fence(std::memory_order_acquire);
        const quint64 after = m_begun.load(std::memory_order_relaxed);
        if (after <= cursor.next + m_slotCount) {
            ++cursor.next;
            return true;
        }
        // The writer lapped us during the copy: the copy may be torn, so it is not delivered.
        const quint64 oldestIntact = after - m_slotCount;
        cursor.lost.fetch_add(oldestIntact - cursor.next, std::memory_order_relaxed);
        cursor.next = oldestIntact;
    }
}

bool PacketRing::hasData() const
{
    return hasDataFor(m_a);
}

bool PacketRing::pop(void *dest)
{
    return popFor(m_a, dest);
}

quint64 PacketRing::lostPackets() const
{
    return m_a.lost.load(std::memory_order_relaxed);
}

bool PacketRing::hasRecordData() const
{
    return hasDataFor(m_b);
}

bool PacketRing::popRecord(void *dest)
{
    return popFor(m_b, dest);
}

void PacketRing::skipRecord()
{
    std::lock_guard<std::mutex> lock(m_b.mutex);
    m_b.next = m_written.load(std::memory_order_acquire);
}

quint64 PacketRing::lostRecordPackets() const
{
    return m_b.lost.load(std::memory_order_relaxed);
}

quint64 PacketRing::pushedPackets() const
{
    return m_written.load(std::memory_order_acquire);
}
