#include "netClass/BsdSocket.h"
#include "netClass/CmdSocket.h"
#include "support/SimSonarCommandServer.h"

#include <QElapsedTimer>
#include <QTest>

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
        port = local.port;
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedServer()
    {
        m_running = false;
        m_thread.join();
    }
    quint16 port = 0;
    std::atomic<int> messages{0};

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
            ++messages;
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
    CmdSocket client("127.0.0.1", server.port);
    QCOMPARE(client.connectFrom("127.0.0.1"), 0);
    QVERIFY(client.handle() != InvalidSocket);
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
    QElapsedTimer t;
    t.start();
    QCOMPARE(client.sendShortCmd(6, 0), 6);
    QVERIFY2(t.elapsed() >= 400, qPrintable(QString::number(t.elapsed())));
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
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
    QCOMPARE(client.sendShortCmd(6, 0), 6);
    QTest::qWait(500); // the late acknowledgement arrives meanwhile, unasked
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
    sonar.closeClient();
    QTest::qWait(200);
    QElapsedTimer t;
    t.start();
    const int first = client.sendShortCmd(6, 0);
    const int second = client.sendShortCmd(6, 0);
    QVERIFY2(first == 4 || first == 6, qPrintable(QString::number(first)));
    QVERIFY2(second == 4 || second == 6, qPrintable(QString::number(second)));
    // A closed peer is known at once; neither exchange waits out its time-out.
    QVERIFY2(t.elapsed() < 900, qPrintable(QString::number(t.elapsed())));
    client.close();
    client.close();
    QCOMPARE(client.handle(), InvalidSocket);
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
    for (quint32 code : {6u, 12u, 13u, 16u, 17u, 24u})
        QCOMPARE(client.sendShortCmd(code, 1), 0);
    QVERIFY(sonar.waitForFrames(6, 2000));
    QTest::qWait(150);
    QCOMPARE(sonar.received().size(), 6);
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
    QCOMPARE(refused.handle(), InvalidSocket);

    // A host address that is not ours fails at the bind, before anything leaves.
    SimSonarCommandServer sonar;
    QVERIFY(sonar.start("127.0.0.1", 0));
    CmdSocket foreign("127.0.0.1", sonar.port());
    QCOMPARE(foreign.connectFrom("203.0.113.7"), 1);
    QCOMPARE(foreign.connectFrom("not an address"), 1);
    QCOMPARE(foreign.handle(), InvalidSocket);
    QTest::qWait(100);
    QCOMPARE(sonar.connectionCount(), 0);
    QCOMPARE(foreign.connectFrom("127.0.0.1"), 0);
    QTRY_COMPARE_WITH_TIMEOUT(sonar.connectionCount(), 1, 2000);
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
    QElapsedTimer t;
    t.start();
    QCOMPARE(client.connect(), 1);
    QVERIFY2(t.elapsed() >= 800, qPrintable(QString::number(t.elapsed())));
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(client.handle(), InvalidSocket);
}

void TestCmdSocket::peerThatStopsReading()
{
    // A peer that accepts and never reads: once the buffers on both ends are full, a send can
    // only wait. It must give up rather than hold the caller (the GUI thread) for ever. Should
    // it hang, the watchdog resets the connection after 15 s and the elapsed time shows it.
    BsdSocket listener = BsdSocket::tcp();
    QVERIFY(listener.bind(Ipv4Endpoint{0x7f000001, 0}));
    QVERIFY(listener.listen(1));
    Ipv4Endpoint at;
    listener.localEndpoint(&at);
    CmdSocket client("127.0.0.1", at.port);
    QCOMPARE(client.connect(), 0);
    QVERIFY(listener.waitReadable(2000));
    std::atomic<bool> done{false};
    std::thread watchdog([&done, peer = listener.accept()]() mutable {
        for (int i = 0; i < 150 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        peer.close(); // unread data: the close resets the connection
    });

    const QByteArray frame(64 * 1024, 'x');
    QElapsedTimer t;
    t.start();
    qint64 last = 0;
    for (int i = 0; i < 4000 && last >= 0; ++i)
        last = client.sendFrame(frame);
    const qint64 filled = t.elapsed();
    t.restart();
    const int code = client.sendShortCmd(6, 0);
    const qint64 shortCmd = t.elapsed();
    done = true;
    watchdog.join();
    QCOMPARE(last, qint64(-1));
    QVERIFY2(filled < 10000, qPrintable(QString::number(filled)));
    QCOMPARE(code, 4);
    QVERIFY2(shortCmd < 3000, qPrintable(QString::number(shortCmd)));
}

QTEST_GUILESS_MAIN(TestCmdSocket)
#include "tst_cmdsocket.moc"
