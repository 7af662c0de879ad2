#include "processClass/FrameAssembler.h"
#include "processClass/FrameBuffer.h"

#include <QByteArray>
#include <QList>
#include <QTest>

#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

struct Pkt
{
    quint32 frame;
    quint16 serial;
    quint16 count;
    quint8 width = 1; // 2-byte samples
    quint16 perRow = 2;
    quint16 rows = 190; // 760 bytes: the packet is full
};

// Bytes per sample of the sample-type codes the sonar sends; no other code is valid.
const std::map<int, int> knownWidths{{0, 1},  {1, 2},   {2, 4},  {3, 8},  {16, 2}, {17, 4},
                                     {18, 8}, {19, 16}, {48, 2}, {49, 4}, {50, 8}};

qint64 sampleBytes(quint8 width)
{
    const auto known = knownWidths.find(width);
    return known == knownWidths.end() ? 0 : known->second;
}

qint64 payloadOf(const Pkt &p)
{
    return qint64(p.perRow) * sampleBytes(p.width) * p.rows;
}

// One packet of packetSize bytes; the payload bytes are a pattern unique to the packet's
// position in its sequence, so every slice of a frame can be traced back.
QByteArray makePacket(const Pkt &p, int tag)
{
    QByteArray bytes(packetSize, '\0');
    packageInfo head;
    head.dataWidth = p.width;
    head.numPerRow = p.perRow;
    head.rowNumPerPack = p.rows;
    head.packSerialNum = p.serial;
    head.packNumPerFrame = p.count;
    head.frameSerialNum = p.frame;
    head.dataHeight = quint32(tag + 1000);
    std::memcpy(bytes.data(), &head, sizeof head);
    const qint64 room = qint64(packetSize) - qint64(sizeof head);
    for (qint64 i = 0; i < room; ++i)
        bytes[int(sizeof head + i)] = char((tag * 37 + i * 11 + 1) & 0xff);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(QList<Pkt>)

class TstFrameAssembler : public QObject
{
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void sampleWidthCodes();
    void rejectionChangesNothing();
    void resetDropsTheFrameInProgress();
    void takeFrameStaysInsideTheCallersBuffer_data();
    void takeFrameStaysInsideTheCallersBuffer();
    void absurdFrameSizeIsCappedAtTheCapacity();
    void frameBufferHoldsWhatTheFlatCopyHolds();
};

void TstFrameAssembler::sequences_data()
{
    QTest::addColumn<QList<Pkt>>("packets");
    QTest::addColumn<QList<int>>("results");
    // Positions in the sequence of the packets whose slices make up the last finished frame,
    // and the position of the packet whose header stands for it.
    QTest::addColumn<QList<int>>("slices");
    QTest::addColumn<int>("headerFrom");

    QTest::newRow("one-packet frame")
        << QList<Pkt>{{1, 0, 1}} << QList<int>{1} << QList<int>{0} << 0;
    QTest::newRow("in order") << QList<Pkt>{{1, 0, 3}, {1, 1, 3}, {1, 2, 3}} << QList<int>{0, 0, 1}
                              << QList<int>{0, 1, 2} << 2;
    QTest::newRow("out of order") << QList<Pkt>{{1, 1, 3}, {1, 0, 3}, {1, 2, 3}}
                                  << QList<int>{0, 0, 1} << QList<int>{0, 1, 2} << 2;
    QTest::newRow("lost last packet finished by the next frame")
        << QList<Pkt>{{7, 0, 3}, {7, 1, 3}, {8, 0, 3}} << QList<int>{0, 0, 1} << QList<int>{0, 1}
        << 1;
    QTest::newRow("frame after a lost last packet")
        << QList<Pkt>{{7, 0, 3}, {7, 1, 3}, {8, 0, 3}, {8, 1, 3}, {8, 2, 3}}
        << QList<int>{0, 0, 1, 0, 1} << QList<int>{2, 3, 4} << 4;
    QTest::newRow("other frame's packet at the last index finishes the frame")
        << QList<Pkt>{{7, 0, 3}, {9, 2, 3}} << QList<int>{0, 1} << QList<int>{0, 1} << 1;
    QTest::newRow("bad dataWidth is skipped") << QList<Pkt>{{1, 0, 2}, {1, 1, 2, 5}, {1, 1, 2}}
                                              << QList<int>{0, -1, 1} << QList<int>{0, 2} << 2;
    QTest::newRow("payload of 760 bytes accepted")
        << QList<Pkt>{{1, 0, 1, 0, 760, 1}} << QList<int>{1} << QList<int>{0} << 0;
    QTest::newRow("payload of 761 bytes rejected")
        << QList<Pkt>{{1, 0, 2}, {1, 1, 2, 0, 761, 1}, {1, 1, 2}} << QList<int>{0, -1, 1}
        << QList<int>{0, 2} << 2;
    // 1016 slices of 500 bytes fill the 508000-byte capacity exactly.
    QTest::newRow("slice ending at the capacity accepted")
        << QList<Pkt>{{1, 0, 1016}, {1, 1015, 1016, 0, 500, 1}} << QList<int>{0, 1}
        << QList<int>{0, 1} << 1;
    QTest::newRow("slice past the capacity rejected")
        << QList<Pkt>{{1, 0, 2}, {1, 1016, 2, 0, 500, 1}, {1, 1, 2}} << QList<int>{0, -1, 1}
        << QList<int>{0, 2} << 2;
    // 32768 x 16 x 8192 = 2^32: a 32-bit product would wrap to 0 and pass.
    QTest::newRow("payload product that wraps 32 bits rejected")
        << QList<Pkt>{{1, 0, 2}, {1, 1, 2, 19, 32768, 8192}, {1, 1, 2}} << QList<int>{0, -1, 1}
        << QList<int>{0, 2} << 2;
    QTest::newRow("packNumPerFrame 0 never finishes; a one-packet frame then does")
        << QList<Pkt>{{1, 0, 0}, {1, 1, 0}, {2, 0, 1}} << QList<int>{0, 0, 1} << QList<int>{0, 1, 2}
        << 2;
    QTest::newRow("slice beyond the frame's count is not handed over")
        << QList<Pkt>{{1, 0, 3}, {1, 50, 3}, {1, 2, 3}} << QList<int>{0, 0, 1}
        << QList<int>{0, 1, 2} << 2;
    QTest::newRow("reused buffer shows no old bytes")
        << QList<Pkt>{{1, 0, 3}, {1, 1, 3}, {1, 2, 3}, {2, 0, 3},
                      {2, 1, 3}, {2, 2, 3}, {3, 1, 3}, {3, 2, 3}}
        << QList<int>{0, 0, 1, 0, 0, 1, 0, 1} << QList<int>{6, 7} << 7;
}

void TstFrameAssembler::sequences()
{
    QFETCH(QList<Pkt>, packets);
    QFETCH(QList<int>, results);
    QFETCH(QList<int>, slices);
    QFETCH(int, headerFrom);

    FrameAssembler assembler;
    std::vector<QByteArray> sent;
    for (int i = 0; i < packets.size(); ++i) {
        sent.push_back(makePacket(packets[i], i));
        QCOMPARE(assembler.addPacket(sent.back().constData()), results[i]);
    }

    const qint64 capacity = FrameAssembler::frameCapacity();
    QCOMPARE(capacity, qint64(500) * packetSize);
    QByteArray frame(int(capacity), char(0x5a));
    packageInfo head;
    const qint64 got = assembler.takeFrame(&head, frame.data(), capacity);

    QCOMPARE(std::memcmp(&head, sent[headerFrom].constData(), sizeof head), 0);
    const Pkt &last = packets[headerFrom];
    const qint64 declared = qint64(last.count) * payloadOf(last);
    QCOMPARE(got, std::min(declared, capacity));

    QByteArray want(int(got), '\0');
    for (int s : slices) {
        const qint64 payload = payloadOf(packets[s]);
        const qint64 offset = qint64(packets[s].serial) * payload;
        const qint64 n = std::min(payload, got - offset);
        if (n > 0)
            std::memcpy(want.data() + offset, sent[s].constData() + sizeof(packageInfo), size_t(n));
    }
    QVERIFY(frame.left(int(got)) == want);
    // Nothing beyond the handed-over count is written.
    QVERIFY(frame.mid(int(got)) == QByteArray(int(capacity - got), char(0x5a)));

    // Into a frame buffer that held another frame: the same bytes, zeros beyond, and only the
    // chunks of the frame's own slices are marked as holding data.
    FrameBuffer buffer(capacity);
    const QByteArray old(4000, char(0x77));
    buffer.write(0, old.constData(), old.size());
    buffer.write(capacity - 3000, old.constData(), 3000);
    packageInfo head2;
    QCOMPARE(assembler.takeFrame(&head2, buffer), got);
    QCOMPARE(std::memcmp(&head2, &head, sizeof head), 0);
    QVERIFY(QByteArray(reinterpret_cast<const char *>(buffer.data()), int(capacity))
            == want + QByteArray(int(capacity - got), '\0'));
    std::set<qint64> chunks;
    for (int s : slices) {
        const qint64 payload = payloadOf(packets[s]);
        const qint64 offset = qint64(packets[s].serial) * payload;
        for (qint64 c = offset / FrameBuffer::chunkBytes;
             payload > 0 && offset < got
             && c <= (std::min(offset + payload, got) - 1) / FrameBuffer::chunkBytes;
             ++c)
            chunks.insert(c);
    }
    std::vector<FrameBuffer::Span> spans;
    buffer.spans(capacity, spans);
    std::set<qint64> marked;
    for (const FrameBuffer::Span &span : spans)
        for (qint64 c = span.begin / FrameBuffer::chunkBytes;
             c * FrameBuffer::chunkBytes < span.end; ++c)
            marked.insert(c);
    QVERIFY(marked == chunks);
}

// Every code from 0 to 255: the eleven known ones give their sample size, all others are
// rejected.
void TstFrameAssembler::sampleWidthCodes()
{
    for (int code = 0; code < 256; ++code) {
        FrameAssembler assembler;
        const QByteArray packet = makePacket({1, 0, 1, quint8(code), 2, 3}, code);
        const auto width = knownWidths.find(code);
        const int want = width == knownWidths.end() ? -1 : 1;
        QVERIFY2(assembler.addPacket(packet.constData()) == want,
                 qPrintable(QString::number(code)));
        if (want < 0)
            continue;
        QByteArray frame(100, '\0');
        packageInfo head;
        QCOMPARE(assembler.takeFrame(&head, frame.data(), frame.size()), qint64(6 * width->second));
    }
}

void TstFrameAssembler::rejectionChangesNothing()
{
    FrameAssembler assembler;
    const QByteArray first = makePacket({4, 0, 2}, 0);
    QCOMPARE(assembler.addPacket(first.constData()), 0);
    // A rejected packet that would otherwise have finished the frame.
    QCOMPARE(assembler.addPacket(makePacket({4, 1, 2, 5}, 1).constData()), -1);
    QCOMPARE(assembler.addPacket(makePacket({4, 1, 2, 1, 2, 191}, 2).constData()), -1);
    const QByteArray last = makePacket({4, 1, 2}, 3);
    QCOMPARE(assembler.addPacket(last.constData()), 1);

    QByteArray frame(1520, '\0');
    packageInfo head;
    QCOMPARE(assembler.takeFrame(&head, frame.data(), frame.size()), qint64(1520));
    QCOMPARE(std::memcmp(&head, last.constData(), sizeof head), 0);
    QVERIFY(frame.left(760) == first.mid(256, 760));
    QVERIFY(frame.mid(760) == last.mid(256, 760));
}

void TstFrameAssembler::resetDropsTheFrameInProgress()
{
    // Two of three packets of frame 4 (a stream that ended), then a reset and frame 9: frame 4
    // is never handed over, and none of its slices shows through in frame 9.
    FrameAssembler assembler;
    QCOMPARE(assembler.addPacket(makePacket({4, 0, 3}, 0).constData()), 0);
    QCOMPARE(assembler.addPacket(makePacket({4, 1, 3}, 1).constData()), 0);
    assembler.reset();
    const QByteArray second = makePacket({9, 1, 3}, 2);
    QCOMPARE(assembler.addPacket(second.constData()), 0);
    const QByteArray last = makePacket({9, 2, 3}, 3);
    QCOMPARE(assembler.addPacket(last.constData()), 1);
    QByteArray frame(3 * 760, '\x7f');
    packageInfo head;
    QCOMPARE(assembler.takeFrame(&head, frame.data(), frame.size()), qint64(3 * 760));
    QCOMPARE(head.frameSerialNum, 9u);
    QVERIFY(frame.left(760) == QByteArray(760, '\0'));
    QVERIFY(frame.mid(760, 760) == second.mid(256, 760));
    QVERIFY(frame.mid(1520) == last.mid(256, 760));
}

void TstFrameAssembler::takeFrameStaysInsideTheCallersBuffer_data()
{
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("negative") << qint64(-5) << qint64(0);
    QTest::newRow("zero") << qint64(0) << qint64(0);
    QTest::newRow("smaller than the frame") << qint64(1000) << qint64(1000);
    QTest::newRow("exact") << qint64(2280) << qint64(2280);
    QTest::newRow("larger than the frame") << qint64(60960) << qint64(2280);
}

void TstFrameAssembler::takeFrameStaysInsideTheCallersBuffer()
{
    QFETCH(qint64, capacity);
    QFETCH(qint64, expected);
    FrameAssembler assembler;
    std::vector<QByteArray> sent;
    for (int s = 0; s < 3; ++s) {
        sent.push_back(makePacket({5, quint16(s), 3}, s));
        assembler.addPacket(sent.back().constData());
    }
    QCOMPARE(assembler.finishedFrameBytes(), qint64(2280));

    // Guard bytes around the caller's room catch any write outside it.
    const int guard = 64;
    const qint64 room = std::max<qint64>(capacity, 0);
    QByteArray buffer(int(room) + 2 * guard, char(0xa5));
    packageInfo head;
    QCOMPARE(assembler.takeFrame(&head, buffer.data() + guard, capacity), expected);
    QVERIFY(buffer.left(guard) == QByteArray(guard, char(0xa5)));
    QVERIFY(buffer.mid(guard + int(expected))
            == QByteArray(int(room - expected) + guard, char(0xa5)));
    QByteArray whole;
    for (const QByteArray &p : sent)
        whole += p.mid(256, 760);
    QVERIFY(buffer.mid(guard, int(expected)) == whole.left(int(expected)));
}

void TstFrameAssembler::absurdFrameSizeIsCappedAtTheCapacity()
{
    // One packet claiming 65535 packets per frame, finished by a packet of another frame.
    FrameAssembler assembler;
    QCOMPARE(assembler.addPacket(makePacket({1, 0, 65535}, 0).constData()), 0);
    QCOMPARE(assembler.addPacket(makePacket({2, 0, 65535}, 1).constData()), 1);
    const qint64 capacity = FrameAssembler::frameCapacity();
    QCOMPARE(assembler.finishedFrameBytes(), capacity);
    QByteArray frame(int(capacity) + 16, char(0x33));
    packageInfo head;
    QCOMPARE(assembler.takeFrame(&head, frame.data(), capacity), capacity);
    QVERIFY(frame.right(16) == QByteArray(16, char(0x33)));
}

// Random streams of packets from frames of every size, lost and reordered packets, serials
// beyond the count and unknown widths: each finished frame taken into one reused frame
// buffer equals its flat copy, zeros beyond it, and the chunks marked in it come from the
// packets of that frame (at most two chunks per packet), whatever size its header claims.
void TstFrameAssembler::frameBufferHoldsWhatTheFlatCopyHolds()
{
    std::mt19937 gen(5);
    std::uniform_int_distribution<int> frames(0, 3);
    std::uniform_int_distribution<int> serials(0, 700);
    std::uniform_int_distribution<int> counts(0, 5);
    std::uniform_int_distribution<int> rows(0, 190);
    const quint16 countChoices[] = {1, 3, 40, 500, 65535, 0};
    const quint8 widthChoices[] = {1, 1, 1, 0, 19, 5};
    const qint64 capacity = FrameAssembler::frameCapacity();
    FrameAssembler assembler;
    FrameBuffer buffer(capacity);
    QByteArray flat(int(capacity), '\0');
    int storedSinceLastFrame = 0;
    int finished = 0;
    for (int i = 0; i < 20000; ++i) {
        Pkt p{quint32(frames(gen)),
              quint16(serials(gen)),
              countChoices[counts(gen)],
              widthChoices[counts(gen)],
              2,
              quint16(rows(gen))};
        const QByteArray packet = makePacket(p, i);
        const int r = assembler.addPacket(packet.constData());
        if (r == -1)
            continue;
        if (r == 1) {
            packageInfo head;
            flat.fill('\0');
            const qint64 got = assembler.takeFrame(&head, flat.data(), capacity);
            QCOMPARE(assembler.takeFrame(&head, buffer), got);
            QVERIFY(std::memcmp(buffer.data(), flat.constData(), std::size_t(capacity)) == 0);
            std::vector<FrameBuffer::Span> spans;
            buffer.spans(capacity, spans);
            qint64 marked = 0;
            for (const FrameBuffer::Span &span : spans)
                marked += span.end - span.begin;
            // The packets accepted since the last finished frame, this one included.
            QVERIFY(marked <= 2 * FrameBuffer::chunkBytes * (storedSinceLastFrame + 1));
            ++finished;
            storedSinceLastFrame = 0;
        }
        ++storedSinceLastFrame;
    }
    QVERIFY(finished > 1000);
}

QTEST_GUILESS_MAIN(TstFrameAssembler)
#include "tst_frameassembler.moc"
