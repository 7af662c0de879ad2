#include "netClass/BsdSocket.h"
#include "netClass/CmdSocket.h"
#include "support/LogCollector.h"
#include "support/SimSonarCommandServer.h"

#include <QTest>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Answers every message it receives with a fixed sequence of pieces, each after its delay.
class ScriptedServer
{
public:
    struct Piece
    {
        QByteArray bytes;
        int delayMs;
    };
    explicit ScriptedServer(QList<Piece> script) : m_script(std::move(script))
    {
        m_listener = BsdSocket::tcp();
        m_listener.bind(Ipv4Endpoint{0x7f000001, 0});
        m_listener.listen(1);
        Ipv4Endpoint local;
        m_listener.localEndpoint(&local);
        m_port = local.port;
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedServer()
    {
        m_running = false;
        m_thread.join();
    }
    quint16 m_port = 0;
    std::atomic<int> m_messages{0};

private:
    void serve()
    {
        BsdSocket client;
        while (m_running && !client.isValid()) {
            if (m_listener.waitReadable(20))
                client = m_listener.accept();
        }
        char buffer[256];
        while (m_running) {
            if (!client.waitReadable(20))
                continue;
            const BsdSocket::Result r = client.receive(buffer, sizeof buffer);
            if (!r.ok())
                return;
            ++m_messages;
            for (const Piece &p : m_script) {
                std::this_thread::sleep_for(std::chrono::milliseconds(p.delayMs));
                client.send(p.bytes.constData(), std::size_t(p.bytes.size()));
            }
        }
    }
    QList<Piece> m_script;
    BsdSocket m_listener;
    std::thread m_thread;
    std::atomic<bool> m_running{true};
};

} // namespace

class TestCmdSocket : public QObject
{
    Q_OBJECT
private slots:
    void acknowledgementVariants_data();
    void acknowledgementVariants();
    void silenceTimesOut();
    void lateAnswerDoesNotAnswerTheNextExchange();
    void peerClosed();
    void givenUp();
    void shortCommandChecks();
    void connectFailures();
    void connectTimesOutWithFullBacklog();
    void peerThatStopsReading();
};

void TestCmdSocket::acknowledgementVariants_data()
{
    using Piece = ScriptedServer::Piece;
    QTest::addColumn<QList<Piece>>("script");
    QTest::addColumn<int>("code");
    QTest::newRow("OK LF NUL") << QList<Piece>{{QByteArray("OK\n\0", 4), 0}} << 0;
    QTest::newRow("OK LF") << QList<Piece>{{"OK\n", 0}} << 0;
    QTest::newRow("OK") << QList<Piece>{{"OK", 0}} << 5;
    QTest::newRow("OK LF x") << QList<Piece>{{"OK\nx", 0}} << 5;
    QTest::newRow("scan notice first, then OK")
        << QList<Piece>{{"endofscan", 0}, {QByteArray("OK\n\0", 4), 100}} << 0;
}

void TestCmdSocket::acknowledgementVariants()
{
    QFETCH(QList<ScriptedServer::Piece>, script);
    QFETCH(int, code);
    ScriptedServer server(script);
    CmdSocket client("127.0.0.1", server.m_port);
    QCOMPARE(client.connectFrom("127.0.0.1"), 0);
    QVERIFY(client.handle() != invalidSocket);
    QCOMPARE(client.sendShortCmd(6, 0), code);
}

void TestCmdSocket::silenceTimesOut()
{
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    sonar.setFault(SimSonarCommandServer::Answer::Acknowledgement,
                   SimSonarCommandServer::Fault::NoAnswer);
    CmdSocket client("127.0.0.1", sonar.port());
    QCOMPARE(client.connect(), 0);
    QCOMPARE(client.sendShortCmd(6, 0), 6);
    QVERIFY(sonar.waitForFrames(1, 2000));
    QCOMPARE(sonar.received().first().frame, QByteArray("CMD\x06\x00", 5));
}

void TestCmdSocket::lateAnswerDoesNotAnswerTheNextExchange()
{
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    sonar.setFault(SimSonarCommandServer::Answer::Acknowledgement,
                   SimSonarCommandServer::Fault::Late, 700);
    CmdSocket client("127.0.0.1", sonar.port());
    QCOMPARE(client.connect(), 0);
    LogCollector log;
    QCOMPARE(client.sendShortCmd(6, 0), 6);
    // The late acknowledgement arrives after the exchange gave up, unasked.
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, "unasked reply dropped: \"4F 4B 0A 00\""),
                             5000);
    sonar.setFault(SimSonarCommandServer::Answer::Acknowledgement,
                   SimSonarCommandServer::Fault::NoAnswer);
    QCOMPARE(client.sendShortCmd(6, 0), 6);
    sonar.setFault(SimSonarCommandServer::Answer::Acknowledgement,
                   SimSonarCommandServer::Fault::WrongLength);
    QCOMPARE(client.sendShortCmd(6, 0), 5);
}

void TestCmdSocket::peerClosed()
{
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    CmdSocket client("127.0.0.1", sonar.port());
    QCOMPARE(client.connect(), 0);
    QCOMPARE(client.sendShortCmd(6, 0), 0);
    // The kernel's view of the connection: open and answered, then over once the peer closed
    // it, and nothing at all once closed here.
    LinkHealth::TcpState state;
    QVERIFY(client.linkState(&state));
    QVERIFY(state.established);
    QCOMPARE(state.unacked, 0u);
    QCOMPARE(LinkHealth::judge(state, CmdSocket::linkLimits), LinkHealth::Verdict::Answering);
    sonar.closeClient();
    pollfd closed{client.handle(), POLLRDHUP, 0};
    QVERIFY(::poll(&closed, 1, 5000) == 1);
    QVERIFY(client.linkState(&state));
    QCOMPARE(LinkHealth::judge(state, CmdSocket::linkLimits), LinkHealth::Verdict::Ended);
    // A closed peer is known without waiting: however long an exchange would wait, it ends
    // as closed (or as a failed send once the peer has reset the connection).
    const QByteArray frame("CMD\x06\x00", 5);
    QByteArray reply;
    for (int i = 0; i < 2; ++i) {
        const CmdSocket::Reply got = client.exchange(frame, &reply, 60000);
        QVERIFY2(got == CmdSocket::Reply::Closed || got == CmdSocket::Reply::SendFailed,
                 qPrintable(QString::number(int(got))));
    }
    const int code = client.sendShortCmd(6, 0);
    QVERIFY2(code == 4 || code == 6, qPrintable(QString::number(code)));
    client.close();
    client.close();
    QCOMPARE(client.handle(), invalidSocket);
    QVERIFY(!client.linkState(&state));
}

// Given up here, the connection ends as one the sonar ended: the end is reported as a loss
// (once, on the router's thread), and nothing waits on it any more.
void TestCmdSocket::givenUp()
{
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    CmdSocket client("127.0.0.1", sonar.port());
    std::atomic<int> lost{0};
    client.setOnLost([&lost] { ++lost; });
    QCOMPARE(client.connect(), 0);
    QCOMPARE(client.sendShortCmd(6, 0), 0);
    client.giveUp();
    QTRY_COMPARE_WITH_TIMEOUT(lost.load(), 1, 5000);
    LinkHealth::TcpState state;
    QVERIFY(client.linkState(&state));
    QCOMPARE(LinkHealth::judge(state, CmdSocket::linkLimits), LinkHealth::Verdict::Ended);
    // However long an exchange would wait for its answer, its send fails.
    QByteArray reply;
    QCOMPARE(client.exchange(QByteArray("CMD\x06\x00", 5), &reply, 60000),
             CmdSocket::Reply::SendFailed);
    client.close();
    QCOMPARE(client.handle(), invalidSocket);
}

void TestCmdSocket::shortCommandChecks()
{
    CmdSocket idle("127.0.0.1", 5007);
    QCOMPARE(idle.sendShortCmd(6, 0), 2);
    QCOMPARE(idle.sendShortCmd(5, 0), 2);
    idle.close();

    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    CmdSocket client("127.0.0.1", sonar.port());
    QCOMPARE(client.connect(), 0);
    QCOMPARE(client.sendShortCmd(5, 0), 3);
    QCOMPARE(client.sendShortCmd(25, 0), 3);
    QCOMPARE(client.sendShortCmd(0x106, 0), 3);
    QList<QByteArray> sent;
    for (quint32 code : {6u, 12u, 13u, 16u, 17u, 24u}) {
        QCOMPARE(client.sendShortCmd(code, 1), 0);
        sent.append(QByteArray("CMD") + char(code) + char(1));
    }
    // The refused codes went before these: had any been sent, it would be among the first six.
    QVERIFY(sonar.waitForFrames(6, 2000));
    QList<QByteArray> arrived;
    for (const auto &r : sonar.received().mid(0, 6))
        arrived.append(r.frame);
    QCOMPARE(arrived, sent);
}

void TestCmdSocket::connectFailures()
{
    // Nothing listens on this port: refused at once.
    BsdSocket probe = BsdSocket::tcp();
    probe.bind(Ipv4Endpoint{0x7f000001, 0});
    Ipv4Endpoint unused;
    probe.localEndpoint(&unused);
    probe.close();
    CmdSocket refused("127.0.0.1", unused.port);
    QCOMPARE(refused.connectFrom("127.0.0.1"), 1);
    QCOMPARE(refused.handle(), invalidSocket);

    // A host address that is not ours fails at the bind, before anything leaves.
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    CmdSocket foreign("127.0.0.1", sonar.port());
    QCOMPARE(foreign.connectFrom("203.0.113.7"), 1);
    QCOMPARE(foreign.connectFrom("not an address"), 1);
    QCOMPARE(foreign.handle(), invalidSocket);
    QCOMPARE(foreign.connectFrom("127.0.0.1"), 0);
    // Answered, so the sonar has taken this connection, and any made before it.
    QCOMPARE(foreign.sendShortCmd(6, 0), 0);
    QCOMPARE(sonar.connectionCount(), 1);
}

void TestCmdSocket::connectTimesOutWithFullBacklog()
{
    // A listener that never accepts: once its queue is full, new handshakes go unanswered.
    BsdSocket listener = BsdSocket::tcp();
    QVERIFY(listener.bind(Ipv4Endpoint{0x7f000001, 0}));
    QVERIFY(listener.listen(0));
    Ipv4Endpoint at;
    listener.localEndpoint(&at);
    std::vector<BsdSocket> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(BsdSocket::tcp());
        fillers.back().connectTo(at, 100);
    }
    CmdSocket client("127.0.0.1", at.port);
    QCOMPARE(client.connect(), 1);
    QCOMPARE(client.handle(), invalidSocket);
}

void TestCmdSocket::peerThatStopsReading()
{
    // A peer that accepts and never reads: once the buffers on both ends are full, a send can
    // only wait. It must give up rather than hold the caller (the GUI thread) for ever. Should
    // it hang, the watchdog resets the connection after 15 s and says it had to.
    BsdSocket listener = BsdSocket::tcp();
    QVERIFY(listener.bind(Ipv4Endpoint{0x7f000001, 0}));
    QVERIFY(listener.listen(1));
    Ipv4Endpoint at;
    listener.localEndpoint(&at);
    CmdSocket client("127.0.0.1", at.port);
    QCOMPARE(client.connect(), 0);
    QVERIFY(listener.waitReadable(2000));
    std::atomic<bool> done{false};
    std::atomic<bool> rescued{false};
    std::thread watchdog([&done, &rescued, peer = listener.accept()]() mutable {
        for (int i = 0; i < 150 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        rescued = !done;
        peer.close(); // unread data: the close resets the connection
    });

    const QByteArray frame(64 * 1024, 'x');
    qint64 last = 0;
    for (int i = 0; i < 4000 && last >= 0; ++i)
        last = client.sendFrame(frame);
    const int code = client.sendShortCmd(6, 0);
    done = true;
    watchdog.join();
    QVERIFY(!rescued);
    QCOMPARE(last, qint64(-1));
    QCOMPARE(code, 4);
}

QTEST_GUILESS_MAIN(TestCmdSocket)
#include "tst_cmdsocket.moc"
