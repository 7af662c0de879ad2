#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "netClass/SearchDev.h"
#include "netClass/UdpSerchDev.h"
#include "support/NetworkIsolation.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

// Answers each request on 127.0.0.1:9001 with fixed bytes, then with the optional marker.
class RawResponder
{
public:
    explicit RawResponder(const QByteArray &reply, const QByteArray &marker = QByteArray())
        : m_reply(reply), m_marker(marker)
    {
        m_socket = BsdSocket::udp();
        m_socket.setReuseAddress(true);
        m_bound = m_socket.bind(Ipv4Endpoint{0x7f000001, UdpSerchDev::searchPort});
        m_thread = std::thread([this] {
            char buffer[64];
            while (m_running) {
                if (!m_socket.waitReadable(20))
                    continue;
                Ipv4Endpoint from;
                const BsdSocket::Result r = m_socket.receiveFrom(buffer, sizeof buffer, &from);
                if (r.ok()) {
                    m_lastRequest = QByteArray(buffer, qsizetype(r.bytes));
                    ++m_requests;
                    m_socket.sendTo(m_reply.constData(), std::size_t(m_reply.size()), from);
                    if (!m_marker.isEmpty())
                        m_socket.sendTo(m_marker.constData(), std::size_t(m_marker.size()), from);
                }
            }
        });
    }
    ~RawResponder()
    {
        m_running = false;
        m_thread.join();
    }
    bool bound() const { return m_bound; }
    std::atomic<int> m_requests{0};
    QByteArray m_lastRequest;

private:
    QByteArray m_reply;
    QByteArray m_marker;
    BsdSocket m_socket;
    bool m_bound = false;
    std::thread m_thread;
    std::atomic<bool> m_running{true};
};

// Replies as the owner gets them: queued to the test's thread.
struct Replies : QObject
{
    explicit Replies(UdpSerchDev *worker)
    {
        connect(
            worker, &UdpSerchDev::sigDeviceData, this,
            [this](const QByteArray &m, const QString &dev, const QString &host) {
                m_messages.append(m);
                m_devIps.append(dev);
                m_hostIps.append(host);
            },
            Qt::QueuedConnection);
    }
    QList<QByteArray> m_messages;
    QStringList m_devIps;
    QStringList m_hostIps;
};

} // namespace

class TestUdpSerchDev : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void replyTest_data();
    void replyTest();
    void mainSocketReportsFacingAddress();
    void bindFailureIsLoggedAndLeftOut();
    void destinationFollowsRequests();
    void searchWithoutNetwork();
};

void TestUdpSerchDev::initTestCase()
{
    if (!inOwnNetworkNamespace())
        QSKIP("needs a network namespace of its own");
}

void TestUdpSerchDev::replyTest_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("reported");
    QByteArray a0(896, '\0');
    a0[0] = char(0xA0);
    QTest::newRow("0xA0 record") << a0 << true;
    QTest::newRow("0xA0 alone") << QByteArray("\xA0", 1) << true;
    QTest::newRow("short 0xA0 reply") << a0.left(40) << true;
    QTest::newRow("1000 bytes") << a0 + QByteArray(104, 'x') << true;
    QTest::newRow("1024 bytes") << a0 + QByteArray(128, 'x') << true;
    QTest::newRow("1025 bytes") << a0 + QByteArray(129, 'x') << false;
    QTest::newRow("0x00 KX") << QByteArray("\0KXname", 7) << true;
    QTest::newRow("0x00 K 0x00") << QByteArray("\0K\0", 3) << false;
    QTest::newRow("0x00 K") << QByteArray("\0K", 2) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("the request itself") << UdpSerchDev::searchRequest() << false;
}

void TestUdpSerchDev::replyTest()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, reported);
    // A reply that is always reported follows the row's datagram: once it is in, the row's
    // datagram has been taken one way or the other.
    const QByteArray marker("\xA0marker", 7);
    RawResponder responder(reply, marker);
    QVERIFY(responder.bound());
    UdpSerchDev worker;
    Replies spy(&worker);
    worker.setHostIps({QStringLiteral("127.0.0.1")});
    QCOMPARE(worker.socketCount(), 1);
    worker.start();
    worker.sendSearch(true, QStringLiteral("127.0.0.1"));
    QTRY_COMPARE_WITH_TIMEOUT(responder.m_requests.load(), 1, 2000);
    QCOMPARE(responder.m_lastRequest, QByteArray("KXSearching\0", 12));
    QTRY_VERIFY_WITH_TIMEOUT(spy.m_messages.contains(marker), 5000);
    const QList<QByteArray> expected =
        reported ? QList<QByteArray>{reply, marker} : QList<QByteArray>{marker};
    QCOMPARE(spy.m_messages, expected);
    QCOMPARE(spy.m_devIps.first(), QString("127.0.0.1"));
    QCOMPARE(spy.m_hostIps.first(), QString("127.0.0.1"));
    worker.stop();
    QCOMPARE(worker.socketCount(), 0);
}

void TestUdpSerchDev::mainSocketReportsFacingAddress()
{
    QByteArray a0(896, '\0');
    a0[0] = char(0xA0);
    RawResponder responder(a0);
    UdpSerchDev worker;
    Replies spy(&worker);
    worker.start();
    worker.sendSearch(true, QStringLiteral("127.0.0.1")); // no interface sockets: main socket
    QTRY_COMPARE_WITH_TIMEOUT(spy.m_hostIps.size(), 1, 2000);
    QCOMPARE(spy.m_hostIps.first(), QString("127.0.0.1"));
}

void TestUdpSerchDev::bindFailureIsLoggedAndLeftOut()
{
    UdpSerchDev worker;
    QTest::ignoreMessage(QtDebugMsg, "绑定失败：203.0.113.5");
    QTest::ignoreMessage(QtDebugMsg, "绑定失败：nonsense");
    worker.setHostIps(
        {QStringLiteral("203.0.113.5"), QStringLiteral("127.0.0.1"), QStringLiteral("nonsense")});
    QCOMPARE(worker.socketCount(), 1);
}

void TestUdpSerchDev::destinationFollowsRequests()
{
    UdpSerchDev worker;
    worker.setHostIps({QStringLiteral("127.0.0.1")});
    QTest::ignoreMessage(QtDebugMsg, "接收线程已关闭，请重新开启");
    worker.sendSearch(true, QStringLiteral("127.0.0.9"));
    QCOMPARE(worker.destinationAddress(), QString("127.0.0.9"));
    QTest::ignoreMessage(QtDebugMsg, "接收线程已关闭，请重新开启");
    QTest::ignoreMessage(QtDebugMsg, "搜索地址无效：not.an.address");
    worker.sendSearch(true, QStringLiteral("not.an.address"));
    QCOMPARE(worker.destinationAddress(), QString("127.0.0.9"));
    worker.start();
    worker.sendSearch(false, QString());
    QCOMPARE(worker.destinationAddress(), QString("255.255.255.255"));
}

// Only loopback here: the search warns and goes on, and finds nothing.
void TestUdpSerchDev::searchWithoutNetwork()
{
    InformationCenter hub;
    CmdDialog channel;
    InformationCenter *ic = &hub;
    CmdDialog *cmd = &channel;
    SearchDev search(&ic, &cmd);
    constexpr int periodMs = 200;
    search.setTimings(periodMs, SearchDev::connectTimeoutMs);
    QSignalSpy tips(&hub, &InformationCenter::sigTipsDialog);
    QSignalSpy rows(&hub, &InformationCenter::searchedNameAndIpChanged);
    hub.setSearchedNameAndIp({QStringLiteral("old\n1.2.3.4")});
    emit hub.sigCreateSearchThread(true);
    QCOMPARE(tips.size(), 1);
    QCOMPARE(tips.first().at(0).toString(), QString::fromUtf8("提示"));
    QCOMPARE(tips.first().at(1).toString(), QString::fromUtf8("无网络"));
    emit hub.sigSearching(true);
    QCOMPARE(hub.searchedNameAndIp(), QStringList());
    QCOMPARE(rows.size(), 2);   // the old row, then the emptied list
    QTest::qWait(3 * periodMs); // a few searches find nothing
    QCOMPARE(hub.searchedNameAndIp(), QStringList());
    QCOMPARE(rows.size(), 2);

    // A reply that arrives after the panel has closed is only logged.
    emit hub.sigCreateSearchThread(false);
    QByteArray reply(896, '\0');
    reply[0] = char(0xA0);
    reply[1] = 'x';
    search.f_recvDevPack(reply, QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1"));
    emit hub.sigSearching(true);
    search.f_recvDevPack(reply, QStringLiteral("127.0.0.1"), QStringLiteral("127.0.0.1"));
    QCOMPARE(search.indexOfDevice(QStringLiteral("127.0.0.1")), -1);
}

QTEST_MAIN(TestUdpSerchDev)
#include "tst_udpserchdev.moc"
