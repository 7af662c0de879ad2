#include "netClass/BsdSocket.h"
#include "processClass/PackageInfo.h"
#include "processClass/PacketRing.h"
#include "processClass/UdpReceiver.h"
#include "support/LogCollector.h"

#include <QFile>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QTest>

#include <cerrno>

#include <memory>
#include <vector>

namespace {

constexpr quint32 loopback = 0x7f000001;

// Holds a port on loopback for the length of a test (or finds it held already by another
// program on this machine, which serves the same purpose).
BsdSocket holdPort(quint16 port)
{
    BsdSocket s = BsdSocket::udp();
    s.bind(Ipv4Endpoint{loopback, port});
    return s;
}

bool portIsFree(quint16 port)
{
    BsdSocket s = BsdSocket::udp();
    return s.bind(Ipv4Endpoint{loopback, port});
}

} // namespace

class TestUdpReceiver : public QObject
{
    Q_OBJECT

public:
    PacketRing *m_ring = nullptr; // the owner's pointer member the receiver reaches through
    QStringList m_ports;
    std::unique_ptr<LogCollector> m_log;

    QStringList logged() const { return m_log->lines(); }
    bool anyLogged(QtMsgType type, const QString &part) const
    {
        return m_log->contains(type, part);
    }

    std::unique_ptr<UdpReceiver> makeReceiver(const QString &address)
    {
        auto rx = std::make_unique<UdpReceiver>(&m_ring, address);
        connect(
            rx.get(), &UdpReceiver::sig_rSonarDataPort, this,
            [this](const QString &port) { m_ports << port; }, Qt::QueuedConnection);
        return rx;
    }

    // Starts a receiver on loopback and waits for its port.
    quint16 startOnLoopback(UdpReceiver *rx)
    {
        const int before = m_ports.size();
        rx->start();
        if (!QTest::qWaitFor([&] { return m_ports.size() > before; }, 5000))
            return 0;
        return m_ports.last().toUShort();
    }

    // The next datagram that reaches reader A, or an empty array if none comes.
    QByteArray nextPacket()
    {
        if (!QTest::qWaitFor([&] { return m_ring->hasData(); }, 5000))
            return QByteArray();
        QByteArray p(m_ring->slotSize(), '\0');
        if (!m_ring->pop(p.data()))
            return QByteArray();
        return p;
    }

private slots:
    void initTestCase() { m_log = std::make_unique<LogCollector>(); }

    void cleanupTestCase() { m_log.reset(); }

    void init()
    {
        m_ring = new PacketRing(packetSize, 64);
        m_ports.clear();
        m_log->clear();
    }

    void cleanup()
    {
        delete m_ring;
        m_ring = nullptr;
    }

    // The port report and the failure report are the class's only meta-methods.
    void reportsAreTheOnlyMetaMethods()
    {
        const QMetaObject &mo = UdpReceiver::staticMetaObject;
        QCOMPARE(mo.methodCount() - mo.methodOffset(), 2);
        QCOMPARE(mo.method(mo.methodOffset()).methodSignature(),
                 QByteArray("sig_rSonarDataPort(QString)"));
        QCOMPARE(mo.method(mo.methodOffset() + 1).methodSignature(),
                 QByteArray("sigBindFailed(QString,int)"));
        QCOMPARE(mo.propertyCount() - mo.propertyOffset(), 0);
    }

    // With 5008 (and more) held, the receiver takes the next free port above, logs it in the
    // operator's log line and that port really receives. Other programs on this machine may
    // hold ports too, so the expected port is found by probing.
    void skipsHeldPorts_data()
    {
        QTest::addColumn<int>("held");
        QTest::newRow("5008 held") << 1;
        QTest::newRow("5008 and 5009 held") << 2;
    }
    void skipsHeldPorts()
    {
        QFETCH(int, held);
        std::vector<BsdSocket> holders;
        for (int i = 0; i < held; ++i)
            holders.push_back(holdPort(quint16(5008 + i)));
        quint16 expected = quint16(5008 + held);
        while (!portIsFree(expected))
            ++expected;

        auto rx = makeReceiver("127.0.0.1");
        const quint16 port = startOnLoopback(rx.get());
        QVERIFY(port >= 5008 + held);
        if (port != expected) // someone else took it between our probe and the bind
            QVERIFY(!portIsFree(expected));
        QVERIFY2(anyLogged(QtDebugMsg,
                           QStringLiteral("接收声纳udp 数据的端口： %1 ip: 127.0.0.1").arg(port)),
                 qPrintable(logged().join('\n')));

        BsdSocket client = BsdSocket::udp();
        const QByteArray hello("hello");
        QVERIFY(
            client
                .sendTo(hello.constData(), std::size_t(hello.size()), Ipv4Endpoint{loopback, port})
                .ok());
        QCOMPARE(nextPacket().left(5), hello);
        rx->stop();
        QCOMPARE(m_ports.size(), 1);
    }

    // Every datagram up to one packet becomes one zero-padded packet; a longer one is dropped
    // whole (the marker sent after it is the next packet in the ring).
    void datagramLengths_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("kept");
        QTest::newRow("300 bytes") << 300 << true;
        QTest::newRow("empty") << 0 << true;
        QTest::newRow("a whole packet") << 1016 << true;
        QTest::newRow("one byte too long") << 1017 << false;
        QTest::newRow("far too long") << 9000 << false;
    }
    void datagramLengths()
    {
        QFETCH(int, length);
        QFETCH(bool, kept);
        auto rx = makeReceiver("127.0.0.1");
        const quint16 port = startOnLoopback(rx.get());
        QVERIFY(port != 0);

        QByteArray datagram(length, '\0');
        for (int i = 0; i < length; ++i)
            datagram[i] = char(1 + i % 250); // no zero bytes, so the padding is visible
        const QByteArray marker("marker");
        BsdSocket client = BsdSocket::udp();
        const Ipv4Endpoint to{loopback, port};
        QVERIFY(client.sendTo(datagram.constData(), std::size_t(length), to).ok());
        QVERIFY(client.sendTo(marker.constData(), std::size_t(marker.size()), to).ok());

        if (kept) {
            const QByteArray first = nextPacket();
            QCOMPARE(first.size(), 1016);
            QCOMPARE(first.left(length), datagram);
            QCOMPARE(first.mid(length), QByteArray(1016 - length, '\0'));
        }
        const QByteArray second = nextPacket();
        QCOMPARE(second.left(marker.size()), marker);
        QCOMPARE(second.mid(marker.size()), QByteArray(1016 - marker.size(), '\0'));
        rx->stop();
        QVERIFY(!m_ring->hasData());
    }

    // The sender is not checked: datagrams from other addresses are pushed like any other.
    void acceptsAnySender()
    {
        auto rx = makeReceiver("127.0.0.1");
        const quint16 port = startOnLoopback(rx.get());
        QVERIFY(port != 0);
        for (quint32 source : {0x7f000002u, 0x7f000003u}) {
            BsdSocket client = BsdSocket::udp();
            QVERIFY(client.bind(Ipv4Endpoint{source, 0}));
            const QByteArray text = QByteArray("from ") + QByteArray::number(source & 0xff);
            QVERIFY(client
                        .sendTo(text.constData(), std::size_t(text.size()),
                                Ipv4Endpoint{loopback, port})
                        .ok());
            QCOMPARE(nextPacket().left(text.size()), text);
        }
        rx->stop();
    }

    // stop() ends a receive that no traffic would end (the port is reported just before the
    // first receive); a new start binds and reports again, and the destructor stops.
    void stopsAndRestarts()
    {
        auto rx = makeReceiver("127.0.0.1");
        QVERIFY(startOnLoopback(rx.get()) != 0);
        rx->stop();
        QVERIFY(startOnLoopback(rx.get()) != 0);
        QCOMPARE(m_ports.size(), 2);
        rx.reset();
    }

    // An address that is not local can never be bound: the search ends with a warning, no
    // port is reported and the failure is, once, with the address. Only binding is tried;
    // nothing is sent.
    void unbindableAddressEndsTheSearch_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("error");
        QTest::newRow("not a local address") << QStringLiteral("192.0.2.1") << int(EADDRNOTAVAIL);
        QTest::newRow("not an address") << QStringLiteral("sonar") << int(EINVAL);
    }
    void unbindableAddressEndsTheSearch()
    {
        QFETCH(QString, address);
        QFETCH(int, error);
        auto rx = makeReceiver(address);
        QStringList failures;
        QList<int> errors;
        connect(
            rx.get(), &UdpReceiver::sigBindFailed, this,
            [&failures, &errors](const QString &a, int e) {
                failures << a;
                errors << e;
            },
            Qt::QueuedConnection);
        rx->start();
        QTRY_VERIFY_WITH_TIMEOUT(anyLogged(QtWarningMsg, address), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(failures, QStringList{address}, 5000);
        // The reason travels with the report, so the operator is told why.
        QCOMPARE(errors, QList<int>{error});
        rx->stop();
        QCoreApplication::processEvents();
        QVERIFY(m_ports.isEmpty());
        QVERIFY(!anyLogged(QtDebugMsg, QStringLiteral("接收声纳udp 数据的端口：")));
    }

    // The receive buffer the system grants is logged: the 10 MiB asked for, or less when the
    // system's limit (sysctl net.core.rmem_max) is lower, and then a warning names that limit.
    void receiveBufferIsReported()
    {
        QFile limitFile(QStringLiteral("/proc/sys/net/core/rmem_max"));
        QVERIFY(limitFile.open(QIODevice::ReadOnly));
        const qint64 limit = limitFile.readAll().trimmed().toLongLong();
        QVERIFY(limit > 0);
        const qint64 wanted = 10 * 1024 * 1024;

        auto rx = makeReceiver("127.0.0.1");
        QVERIFY(startOnLoopback(rx.get()) != 0);
        rx->stop();
        qint64 granted = -1;
        const QRegularExpression re(QStringLiteral("UDP 接收缓冲区: (\\d+)"));
        for (const QString &line : logged()) {
            const QRegularExpressionMatch m = re.match(line);
            if (m.hasMatch())
                granted = m.captured(1).toLongLong();
        }
        QCOMPARE(granted, std::min(wanted, limit));
        QCOMPARE(anyLogged(QtWarningMsg, QStringLiteral("net.core.rmem_max")), limit < wanted);
    }
};

QTEST_GUILESS_MAIN(TestUdpReceiver)
#include "tst_udpreceiver.moc"
