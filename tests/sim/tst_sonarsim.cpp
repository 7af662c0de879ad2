#include "support/SonarFrameBuilder.h"
#include "support/SonarStreamer.h"

#include <QTest>

#include <cstring>

using namespace SimSonar;

namespace {

constexpr quint32 loopback = 0x7f000001;

// Little-endian reads at the wire offsets, independent of the header struct.
quint32 u32At(const QByteArray &p, int at)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p.constData() + at);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}
quint16 u16At(const QByteArray &p, int at)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p.constData() + at);
    return quint16(b[0] | b[1] << 8);
}
float f32At(const QByteArray &p, int at)
{
    const quint32 v = u32At(p, at);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}

quint16 testSample(quint32 bin, int beam)
{
    return quint16(bin * 3 + quint32(beam) * 10000 + 1);
}

// A local socket on an ephemeral loopback port that collects what the streamer sends.
struct Sink
{
    BsdSocket m_socket = BsdSocket::udp();
    Ipv4Endpoint m_endpoint;

    explicit Sink(quint32 address = loopback)
    {
        m_socket.setReceiveBuffer(4 << 20);
        m_socket.bind(Ipv4Endpoint{address, 0});
        m_socket.localEndpoint(&m_endpoint);
    }

    // Datagrams until none comes for the given time.
    QVector<QByteArray> drain(int quietMs = 200)
    {
        m_socket.setReceiveTimeout(quietMs);
        QVector<QByteArray> got;
        QByteArray buf(65536, '\0');
        for (;;) {
            const BsdSocket::Result r = m_socket.receiveFrom(buf.data(), std::size_t(buf.size()));
            if (!r.ok())
                return got;
            got.append(buf.left(int(r.bytes)));
        }
    }
};

// "frame/packet" of each datagram long enough to carry a header, "len" otherwise.
QStringList describe(const QVector<QByteArray> &datagrams)
{
    QStringList out;
    for (const QByteArray &d : datagrams) {
        if (d.size() < 256)
            out << QStringLiteral("short%1").arg(d.size());
        else
            out << QStringLiteral("%1/%2%3")
                       .arg(u32At(d, 20))
                       .arg(u16At(d, 16))
                       .arg(d.size() == 1016 ? QString() : QStringLiteral("(%1)").arg(d.size()));
    }
    return out;
}

packageInfo smallFrameHeader() // 3 full-size packets per frame
{
    packageInfo h = defaultHeader();
    h.dataHeight = 190 * 2 + 1;
    return h;
}

} // namespace

class TestSonarSim : public QObject
{
    Q_OBJECT

private slots:
    // A full-size frame: 4000 bins in 22 packets of exactly 1016 bytes, every header field
    // from the template, samples at their interleaved offsets, padding rows zero.
    void frameLayout()
    {
        packageInfo h = defaultHeader();
        h.frameSerialNum = 77;
        h.maxDist = 25.5f;
        h.direction = 12.5f;
        const QVector<QByteArray> frame = buildFrame(h, testSample);
        QCOMPARE(frame.size(), 22);
        QByteArray data;
        for (int i = 0; i < frame.size(); ++i) {
            const QByteArray &p = frame[i];
            QCOMPARE(p.size(), 1016);
            QCOMPARE(quint8(p[1]), quint8(1));     // dataWidth
            QCOMPARE(u16At(p, 8), quint16(2));     // numPerRow
            QCOMPARE(u16At(p, 12), quint16(190));  // rowNumPerPack
            QCOMPARE(u16At(p, 16), quint16(i));    // packSerialNum
            QCOMPARE(u16At(p, 18), quint16(22));   // packNumPerFrame
            QCOMPARE(u32At(p, 20), quint32(77));   // frameSerialNum
            QCOMPARE(u32At(p, 52), quint32(4000)); // dataHeight
            QCOMPARE(f32At(p, 56), 25.5f);         // maxDist
            QCOMPARE(f32At(p, 104), 12.5f);        // direction
            QCOMPARE(p.mid(32, 9), QByteArray("SIM-SONAR"));
            data += p.mid(256);
        }
        for (quint32 bin = 0; bin < 22 * 190; ++bin) {
            for (int beam = 0; beam < 2; ++beam) {
                const quint16 expected = bin < 4000 ? testSample(bin, beam) : 0;
                const int at = int(bin * 2 + quint32(beam)) * 2;
                QCOMPARE(u16At(data, at), expected);
                QCOMPARE(frameSample(data, h, bin, beam), expected);
            }
        }
    }

    void sampleWidths_data()
    {
        QTest::addColumn<int>("dataWidth");
        QTest::addColumn<int>("payload");
        QTest::newRow("1-byte samples") << 0 << 2 * 10 * 1;
        QTest::newRow("16-byte samples") << 19 << 2 * 10 * 16;
        QTest::newRow("invalid code, 2-byte samples") << 4 << 2 * 10 * 2;
    }
    void sampleWidths()
    {
        QFETCH(int, dataWidth);
        QFETCH(int, payload);
        packageInfo h = defaultHeader();
        h.dataWidth = quint8(dataWidth);
        h.rowNumPerPack = 10;
        h.dataHeight = 10;
        const QVector<QByteArray> frame = buildFrame(h, testSample);
        QCOMPARE(frame.size(), 1);
        QCOMPARE(frame[0].size(), 256 + payload);
        QCOMPARE(quint8(frame[0][1]), quint8(dataWidth));
    }

    void echoesPeakAtTheirBins()
    {
        const SampleFunction f = echoSamples({{0, 1200, 30000, 4}, {1, 300, 20000, 2}}, 100);
        QCOMPARE(f(1200, 0), quint16(30100));
        QCOMPARE(f(300, 1), quint16(20100));
        QCOMPARE(f(300, 0), quint16(100));
        QVERIFY(f(1195, 0) < f(1199, 0));
        QCOMPARE(f(0, 0), quint16(100));
    }

    void refusesDestinationsOffLoopback()
    {
        Sink sink(0x7f000002); // any address of 127.0.0.0/8 is fine
        SonarStreamer s;
        QVERIFY(!s.setDestination(Ipv4Endpoint{0xc0000201, 5008})); // 192.0.2.1
        QVERIFY(!s.setDestination(Ipv4Endpoint{0xffffffff, 5008}));
        QVERIFY(!s.setDestination(Ipv4Endpoint{0x00000000, 5008}));
        QVERIFY(s.setDestination(sink.m_endpoint));
        QVERIFY(!s.setDestination(Ipv4Endpoint{0x0a000001, sink.m_endpoint.port}));
        QCOMPARE(s.destination().address, quint32(0x7f000002));
        s.setHeader(smallFrameHeader());
        QCOMPARE(s.sendFrames(1), quint64(3));
        QCOMPARE(sink.drain().size(), 3);
    }

    // Two frames of three packets each (1/0 1/1 1/2 then 2/0 2/1 2/2), misbehaving on request.
    void faults_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("none") << 0 << QStringList{"0/0", "0/1", "0/2", "1/0", "1/1", "1/2"};
        QTest::newRow("lose every 2nd") << 1 << QStringList{"0/0", "0/2", "1/1"};
        QTest::newRow("duplicate every 3rd")
            << 2 << QStringList{"0/0", "0/1", "0/2", "0/2", "1/0", "1/1", "1/2", "1/2"};
        QTest::newRow("reorder every 4th")
            << 3 << QStringList{"0/0", "0/1", "0/2", "1/1", "1/0", "1/2"};
        QTest::newRow("oversize every 5th")
            << 4 << QStringList{"0/0", "0/1", "0/2", "1/0", "1/1(1100)", "1/2"};
        QTest::newRow("short every 3rd")
            << 5 << QStringList{"0/0", "0/1", "short40", "1/0", "1/1", "short40"};
    }
    void faults()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, expected);
        Sink sink;
        SonarStreamer s;
        QVERIFY(s.setDestination(sink.m_endpoint));
        s.setHeader(smallFrameHeader());
        SonarStreamer::Faults f;
        switch (kind) {
        case 1:
            f.loseEvery = 2;
            break;
        case 2:
            f.duplicateEvery = 3;
            break;
        case 3:
            f.reorderEvery = 4;
            break;
        case 4:
            f.oversizeEvery = 5;
            break;
        case 5:
            f.shortEvery = 3;
            f.shortBytes = 40;
            break;
        default:
            break;
        }
        s.setFaults(f);
        s.sendFrames(2);
        QCOMPARE(describe(sink.drain()), expected);
    }

    void stampedFields()
    {
        Sink sink;
        SonarStreamer s;
        QVERIFY(s.setDestination(sink.m_endpoint));
        s.setHeader(smallFrameHeader());
        SonarStreamer::Faults f;
        f.dataWidth = 4;
        f.dataHeight = 0xffffffffLL;
        s.setFaults(f);
        s.sendFrames(1);
        const QVector<QByteArray> got = sink.drain();
        QCOMPARE(got.size(), 3);
        for (const QByteArray &p : got) {
            QCOMPARE(p.size(), 1016);
            QCOMPARE(quint8(p[1]), quint8(4));
            QCOMPARE(u32At(p, 52), 0xffffffffu);
        }
    }

    // Streaming on its own thread: frames are numbered, the direction steps by the scan
    // step, and header and destination changes made while it runs are taken up.
    void streamsAndFollowsChanges()
    {
        Sink first, second;
        SonarStreamer s;
        packageInfo h = smallFrameHeader();
        h.vez25EDirectionAngle = 90.0f;
        s.setHeader(h);
        s.setFrameRate(200);
        QVERIFY(s.setDestination(first.m_endpoint));
        s.start();
        QTRY_VERIFY_WITH_TIMEOUT(s.framesSent() >= 6, 10000);
        s.updateHeader([](packageInfo &head) { head.maxDist = 99.0f; });
        QVERIFY(s.setDestination(second.m_endpoint));
        const quint64 switchedAt = s.framesSent();
        QTRY_VERIFY_WITH_TIMEOUT(s.framesSent() >= switchedAt + 3, 10000);
        s.stop();

        const QVector<QByteArray> a = first.drain();
        QVERIFY(a.size() >= 6 * 3);
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(u32At(a[i], 20), quint32(i / 3));
            QCOMPARE(f32At(a[i], 104), float((i / 3) % 4) * 90.0f);
            QCOMPARE(f32At(a[i], 56), 40.0f);
        }
        const QVector<QByteArray> b = second.drain();
        QVERIFY(!b.isEmpty());
        QCOMPARE(f32At(b.last(), 56), 99.0f);
        QCOMPARE(u32At(b.first(), 20), u32At(a.last(), 20) + 1); // numbering runs on
    }
};

QTEST_GUILESS_MAIN(TestSonarSim)
#include "tst_sonarsim.moc"
