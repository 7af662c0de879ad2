#include "processClass/PackageInfo.h"
#include "processClass/PacketRing.h"

#include <QTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// A packet whose every 8-byte word carries its sequence number, with the header's frame
// number set to the same value: a torn packet shows as words that disagree.
std::vector<unsigned char> stampedPacket(quint64 seq, std::size_t size)
{
    std::vector<unsigned char> p(size);
    for (std::size_t at = 0; at + 8 <= size; at += 8)
        std::memcpy(&p[at], &seq, 8);
    packageInfo head;
    head.frameSerialNum = quint32(seq);
    head.packSerialNum = quint16(seq);
    if (size >= sizeof head)
        std::memcpy(p.data(), &head, sizeof head);
    return p;
}

// The sequence number a packet carries, or -1 if header and payload disagree anywhere.
qint64 wholeSequence(const std::vector<unsigned char> &p)
{
    packageInfo head;
    std::memcpy(&head, p.data(), sizeof head);
    quint64 seq = 0;
    std::memcpy(&seq, &p[sizeof head], 8);
    if (head.frameSerialNum != quint32(seq) || head.packSerialNum != quint16(seq))
        return -1;
    for (std::size_t at = sizeof head; at + 8 <= p.size(); at += 8) {
        quint64 w;
        std::memcpy(&w, &p[at], 8);
        if (w != seq)
            return -1;
    }
    return qint64(seq);
}

// Small rings in the unit cases carry a single byte value per packet.
void pushByte(PacketRing &ring, unsigned char v)
{
    std::vector<unsigned char> p(ring.slotSize(), v);
    ring.push(p.data(), ring.slotSize());
}

QVector<int> drainA(PacketRing &ring)
{
    QVector<int> got;
    std::vector<unsigned char> buf(ring.slotSize());
    while (ring.pop(buf.data()))
        got.append(buf[0]);
    return got;
}

QVector<int> drainB(PacketRing &ring)
{
    QVector<int> got;
    std::vector<unsigned char> buf(ring.slotSize());
    while (ring.popRecord(buf.data()))
        got.append(buf[0]);
    return got;
}

QVector<int> range(int from, int to) // [from, to)
{
    QVector<int> v;
    for (int i = from; i < to; ++i)
        v.append(i);
    return v;
}

} // namespace

class TestPacketRing : public QObject
{
    Q_OBJECT

private slots:
    void readersAreIndependent()
    {
        PacketRing ring(1016, 50000);
        QVERIFY(!ring.hasData());
        QVERIFY(!ring.hasRecordData());

        const std::vector<unsigned char> p = stampedPacket(7, 1016);
        ring.push(p.data(), 1016);
        QVERIFY(ring.hasData());
        QVERIFY(ring.hasRecordData());

        std::vector<unsigned char> a(1016), b(1016);
        QVERIFY(ring.pop(a.data()));
        QVERIFY(a == p);
        QVERIFY(!ring.hasData());
        QVERIFY(ring.hasRecordData());
        QVERIFY(!ring.pop(a.data()));

        QVERIFY(ring.popRecord(b.data()));
        QVERIFY(b == p);
        QVERIFY(!ring.hasRecordData());
        QCOMPARE(ring.pushedPackets(), quint64(1));
    }

    // Both readers get every packet once, in push order, across several wrap-arounds of a
    // tiny ring, whatever their pace.
    void orderAcrossWrapAround_data()
    {
        QTest::addColumn<int>("ringSlots");
        QTest::addColumn<int>("batch");
        QTest::newRow("one slot, one at a time") << 1 << 1;
        QTest::newRow("three slots, batches of two") << 3 << 2;
        QTest::newRow("three slots, batches of three") << 3 << 3;
        QTest::newRow("four slots, batches of three") << 4 << 3;
    }
    void orderAcrossWrapAround()
    {
        QFETCH(int, ringSlots);
        QFETCH(int, batch);
        PacketRing ring(24, quint16(ringSlots));
        QVector<int> gotA, gotB;
        int pushed = 0;
        while (pushed < 40) {
            for (int i = 0; i < batch; ++i)
                pushByte(ring, quint8(pushed++));
            gotA += drainA(ring);
            if (pushed % (2 * batch) == 0)
                gotB += drainB(ring); // B reads every other batch, still within a lap
        }
        gotB += drainB(ring);
        if (batch * 2 <= ringSlots)
            QCOMPARE(gotB, range(0, pushed));
        QCOMPARE(gotA, range(0, pushed));
        QCOMPARE(ring.lostPackets(), quint64(0));
        QCOMPARE(quint64(gotB.size()) + ring.lostRecordPackets(), quint64(pushed));
    }

    // Up to slotCount unread packets are all kept; one more and the oldest goes, counted.
    // A reader a whole lap (or more) behind still sees data.
    void lappedReaderLosesOldestAndCountsThem_data()
    {
        QTest::addColumn<int>("ringSlots");
        QTest::addColumn<int>("pushes");
        QTest::newRow("one short of a lap") << 4 << 3;
        QTest::newRow("exactly a lap") << 4 << 4;
        QTest::newRow("a lap and one") << 4 << 5;
        QTest::newRow("many laps") << 4 << 23;
        QTest::newRow("single slot, many laps") << 1 << 9;
    }
    void lappedReaderLosesOldestAndCountsThem()
    {
        QFETCH(int, ringSlots);
        QFETCH(int, pushes);
        PacketRing ring(16, quint16(ringSlots));
        for (int i = 0; i < pushes; ++i)
            pushByte(ring, quint8(i));
        QVERIFY(ring.hasData());
        QVERIFY(ring.hasRecordData());
        const int firstKept = qMax(0, pushes - ringSlots);
        QCOMPARE(drainA(ring), range(firstKept, pushes));
        QCOMPARE(drainB(ring), range(firstKept, pushes));
        QCOMPARE(ring.lostPackets(), quint64(firstKept));
        QCOMPARE(ring.lostRecordPackets(), quint64(firstKept));
    }

    void skipRecordStartsAtTheNextPush()
    {
        PacketRing ring(16, 4);
        for (int i = 0; i < 10; ++i) // B falls behind between recordings
            pushByte(ring, quint8(i));
        ring.skipRecord();
        QVERIFY(!ring.hasRecordData());
        QVERIFY(ring.hasData());
        pushByte(ring, 10);
        pushByte(ring, 11);
        QCOMPARE(drainB(ring), QVector<int>({10, 11}));
        QCOMPARE(ring.lostRecordPackets(), quint64(0)); // skipped on purpose, not lost
        QCOMPARE(drainA(ring), range(8, 12));
        QCOMPARE(ring.lostPackets(), quint64(8));
    }

    // Slot sizes that are not whole 8-byte words, short pushes and over-long pushes.
    void pushLengths()
    {
        PacketRing ring(13, 2);
        const QByteArray first("ABCDEFGHIJKLM");
        ring.push(first.constData(), 13);
        const QByteArray longer("abcdefghijklmnopqrstuvwxyz");
        ring.push(longer.constData(), quint16(longer.size())); // cut to the slot
        QByteArray out(13, '\0');
        QVERIFY(ring.pop(out.data()));
        QCOMPARE(out, first);
        QVERIFY(ring.pop(out.data()));
        QCOMPARE(out, longer.left(13));

        ring.push("xyz", 3); // into the first slot again: the rest stays as it was
        QVERIFY(ring.pop(out.data()));
        QCOMPARE(out, QByteArray("xyzDEFGHIJKLM"));
    }

    // A fast writer against a steady reader A and a reader B that keeps stalling. Every
    // packet delivered must be whole and in order, and every packet not delivered must be
    // counted as lost.
    void threadedStress_data()
    {
        QTest::addColumn<int>("ringSlots");
        QTest::addColumn<int>("pushes");
        QTest::newRow("2 slots") << 2 << 100000;
        QTest::newRow("8 slots") << 8 << 200000;
        QTest::newRow("256 slots") << 256 << 200000;
    }
    void threadedStress()
    {
        QFETCH(int, ringSlots);
        QFETCH(int, pushes);
        const std::size_t size = 1016;
        PacketRing ring(size, quint16(ringSlots));
        std::atomic<bool> writerDone{false};

        struct Tally
        {
            quint64 delivered = 0;
            quint64 torn = 0;
            quint64 outOfOrder = 0;
        };
        auto reader = [&](bool recorder, Tally *t) {
            std::vector<unsigned char> buf(size);
            qint64 last = -1;
            for (;;) {
                const bool done = writerDone.load();
                const bool got = recorder ? ring.popRecord(buf.data()) : ring.pop(buf.data());
                if (!got) {
                    if (done)
                        return;
                    std::this_thread::yield();
                    continue;
                }
                const qint64 seq = wholeSequence(buf);
                if (seq < 0)
                    ++t->torn;
                else if (seq <= last)
                    ++t->outOfOrder;
                else
                    last = seq;
                ++t->delivered;
                if (recorder && t->delivered % 64 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1)); // a slow disk
            }
        };

        Tally a, b;
        std::thread ta(reader, false, &a);
        std::thread tb(reader, true, &b);
        std::thread writer([&] {
            for (int i = 0; i < pushes; ++i) {
                const std::vector<unsigned char> p = stampedPacket(quint64(i), size);
                ring.push(p.data(), quint16(size));
            }
            writerDone.store(true);
        });
        writer.join();
        ta.join();
        tb.join();

        QCOMPARE(a.torn, quint64(0));
        QCOMPARE(b.torn, quint64(0));
        QCOMPARE(a.outOfOrder, quint64(0));
        QCOMPARE(b.outOfOrder, quint64(0));
        QCOMPARE(a.delivered + ring.lostPackets(), quint64(pushes));
        QCOMPARE(b.delivered + ring.lostRecordPackets(), quint64(pushes));
        QVERIFY2(ring.lostRecordPackets() > 0, "the stalled reader should have been lapped");
        QVERIFY(b.delivered > 0);
    }

    // Recordings starting and stopping while the writer runs: after each skipRecord reader B
    // takes nothing pushed before it, and what it takes is whole, in order and never twice.
    void skipRecordRacingTheWriter()
    {
        const std::size_t size = 1016;
        const int recordings = 50;
        const int perRecording = 200;
        PacketRing ring(size, 64);
        std::atomic<bool> readerDone{false};
        std::thread writer([&] {
            for (quint64 i = 0; !readerDone.load(); ++i) {
                const std::vector<unsigned char> p = stampedPacket(i, size);
                ring.push(p.data(), quint16(size));
            }
        });

        std::vector<unsigned char> buf(size);
        quint64 delivered = 0, torn = 0, early = 0, outOfOrder = 0;
        qint64 last = -1;
        for (int r = 0; r < recordings; ++r) {
            const quint64 pushedBefore = ring.pushedPackets();
            ring.skipRecord();
            for (int taken = 0; taken < perRecording;) {
                if (!ring.popRecord(buf.data())) {
                    std::this_thread::yield();
                    continue;
                }
                const qint64 seq = wholeSequence(buf);
                if (seq < 0)
                    ++torn;
                else if (quint64(seq) < pushedBefore)
                    ++early;
                else if (seq <= last)
                    ++outOfOrder;
                else
                    last = seq;
                ++delivered;
                ++taken;
            }
        }
        readerDone.store(true);
        writer.join();

        QCOMPARE(delivered, quint64(recordings * perRecording));
        QCOMPARE(torn, quint64(0));
        QCOMPARE(early, quint64(0));
        QCOMPARE(outOfOrder, quint64(0));
    }
};

QTEST_GUILESS_MAIN(TestPacketRing)
#include "tst_packetring.moc"
