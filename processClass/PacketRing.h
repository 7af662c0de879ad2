#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

// Fixed ring of packet slots between the one writer (the UDP receiver) and two readers with
// separate cursors: reader A (the live processing loop) and reader B (the recorder).
//
// Every pushed packet gets a 64-bit sequence number; each cursor is the sequence number of the
// next packet its reader takes. The writer never waits for a reader: it takes no lock at all.
// A reader copies its packet out of the ring itself, under its own mutex, and checks
// afterwards that the writer has not started to overwrite the slot in the meantime (the
// seqlock rule below). A torn copy is thrown away, never handed out.
//
// A reader that falls behind by more than the slot count loses the oldest packets: its cursor
// jumps to the oldest packet still intact, and the number skipped is added to its loss count
// (lostPackets(), lostRecordPackets()). Such a reader still sees data; it never mistakes a
// full lap for an empty ring. Each reader gets packets in push order, each at most once:
// reader A from construction, reader B from its last skipRecord().
//
// Slot contents are held as 64-bit atomic words and copied with relaxed atomic accesses, so
// a reader racing the writer on a slot is a defined, detectable event rather than a data race.
//
// Calling rules:
//   writer thread:   push()
//   reader A thread: hasData(), pop(), lostPackets()
//   reader B thread: hasRecordData(), popRecord(), skipRecord(), lostRecordPackets()
//   any thread:      the counters and sizes (for monitoring)
class PacketRing
{
public:
    PacketRing(quint16 slotSize, quint16 slotCount);
    ~PacketRing();
    PacketRing(const PacketRing &) = delete;
    PacketRing &operator=(const PacketRing &) = delete;

    // Copies length bytes (at most the slot size; more is cut) into the next slot. A shorter
    // push leaves the rest of the slot as it was. Never blocks.
    void push(const void *packet, quint16 length);

    // True when reader A has at least one packet to take (also when it is a whole lap or more
    // behind).
    bool hasData() const;
    // Copies reader A's next packet, slotSize() bytes, into dest (room for slotSize() bytes)
    // and advances cursor A. Returns false only when there is nothing to take; dest then holds
    // nothing meaningful. Packets the writer overwrote before they could be copied are skipped
    // and counted in lostPackets(). Safe to call without asking hasData() first.
    bool pop(void *dest);
    // Packets reader A has lost by falling more than a whole ring behind.
    quint64 lostPackets() const;

    // The same three for reader B, the recorder.
    bool hasRecordData() const;
    bool popRecord(void *dest);
    // Sets cursor B level with the writer, so that the next pushed packet is the first that
    // popRecord() returns. What is dropped this way is not counted as lost.
    void skipRecord();
    quint64 lostRecordPackets() const;

    quint16 slotSize() const { return m_slotSize; }
    quint16 slotCount() const { return m_slotCount; }
    // Packets pushed since construction.
    quint64 pushedPackets() const;

private:
    struct Cursor
    {
        mutable std::mutex mutex;
        quint64 next = 0; // sequence number of the next packet this reader takes
        std::atomic<quint64> lost{0};
    };

    bool hasDataFor(const Cursor &cursor) const;
    bool popFor(Cursor &cursor, void *dest);
    std::atomic<std::uint64_t> *slotWords(quint64 sequence) const;

    const quint16 m_slotSize;
    const quint16 m_slotCount;
    const std::size_t m_wordsPerSlot;
    std::unique_ptr<std::atomic<std::uint64_t>[]> m_words;

    // Pushes begun and pushes finished. The writer raises m_begun before it touches a slot and
    // m_written after the slot holds the whole packet.
    std::atomic<quint64> m_begun{0};
    std::atomic<quint64> m_written{0};

    Cursor m_a;
    Cursor m_b;
};
