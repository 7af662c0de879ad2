#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "netClass/SearchDev.h"
#include "support/FarSonar.h"
#include "support/NetworkIsolation.h"
#include "support/SilentPrompt.h"
#include "support/SimulatedSonar.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

// Search and connection inside the test's own network namespace: a veth pair kv0/kv1 gives
// the host 10.9.0.1 and the simulated sonars their own addresses on the other end. The search
// period and the connect time-out are shortened; a time-out that must not come is awaited
// for twice its time.
namespace {
constexpr int periodMs = 300;
constexpr int connectTimeoutMs = 600;
constexpr int nothingMoreMs = 2 * connectTimeoutMs;
// Where a connection must come up, the time-out only bounds a hang: a loaded machine may take
// longer than the short one to answer.
constexpr int generousConnectTimeoutMs = 5000;
} // namespace

class TestSearchDev : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void rowOrder_data();
    void rowOrder();
    void listedSortedAndStoppedSonarDropsOut();
    void directedSearchConnects();
    void connectingToListedSonar();
    void silentAddressTimesOut();
    void repliesBehindSlowAttemptsStopAtTimeout();
    void closingPanelEndsPendingConnect();
    void cancelConnect();
    void sonarInAnotherNamespace();

private:
    std::unique_ptr<SimulatedSonar> sonar(const QByteArray &name, const QString &address,
                                          int replyLength = 896);
    void openPanel(bool search);

    InformationCenter *m_ic = nullptr;
    CmdDialog *m_cmd = nullptr;
    SearchDev *m_search = nullptr;
};

void TestSearchDev::initTestCase()
{
    if (!inOwnNetworkNamespace())
        QSKIP("needs a network namespace of its own");
    QVERIFY(ipCommand({"link", "add", "kv0", "type", "veth", "peer", "name", "kv1"}));
    QVERIFY(ipCommand({"addr", "add", "10.9.0.1/24", "dev", "kv0"}));
    for (const char *a : {"10.9.0.12/24", "10.9.0.13/24", "10.9.0.14/24"})
        QVERIFY(ipCommand({"addr", "add", a, "dev", "kv1"}));
    QVERIFY(ipCommand({"link", "set", "kv0", "up"}));
    QVERIFY(ipCommand({"link", "set", "kv1", "up"}));
}

void TestSearchDev::init()
{
    m_ic = new InformationCenter;
    m_cmd = new CmdDialog;
    m_cmd->setPrompt(silentPrompt());
    m_search = new SearchDev(&m_ic, &m_cmd);
    m_search->setTimings(periodMs, connectTimeoutMs);
}

void TestSearchDev::cleanup()
{
    delete m_search;
    delete m_cmd;
    delete m_ic;
}

std::unique_ptr<SimulatedSonar> TestSearchDev::sonar(const QByteArray &name, const QString &address,
                                                     int replyLength)
{
    auto s = std::make_unique<SimulatedSonar>();
    SimSonarDiscovery::Config c;
    c.name = name;
    c.replyLength = replyLength;
    s->discovery().setConfig(c);
    if (!s->start(address, CmdDialog::defaultDevicePort, UdpSerchDev::searchPort))
        return nullptr;
    return s;
}

void TestSearchDev::openPanel(bool search)
{
    emit m_ic->sigCreateSearchThread(true);
    if (search)
        emit m_ic->sigSearching(true);
}

void TestSearchDev::rowOrder_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numeric, case-insensitive")
        << QStringList{"Sonar-10\n10.9.0.12", "sonar-2\n10.9.0.13"}
        << QStringList{"sonar-2\n10.9.0.13", "Sonar-10\n10.9.0.12"};
    QTest::newRow("mixed") << QStringList{"b9\n1", "B10\n2", "a\n3", "A2\n4", "a10\n5"}
                           << QStringList{"a\n3", "A2\n4", "a10\n5", "b9\n1", "B10\n2"};
}

void TestSearchDev::rowOrder()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, sorted);
    QCOMPARE(SearchDev::sortedRows(rows), sorted);
}

void TestSearchDev::listedSortedAndStoppedSonarDropsOut()
{
    auto ten = sonar("Sonar-10", "10.9.0.12");
    auto two = sonar("sonar-2", "10.9.0.13");
    auto shortReply = sonar("short", "10.9.0.14", 12); // zero-filled after its 12 bytes
    QVERIFY(ten && two && shortReply);
    openPanel(true);
    const QStringList all{"short\n10.9.0.14", "sonar-2\n10.9.0.13", "Sonar-10\n10.9.0.12"};
    QTRY_COMPARE_WITH_TIMEOUT(m_ic->searchedNameAndIp(), all, 7000);

    ten->discovery().stop();
    QTRY_COMPARE_WITH_TIMEOUT(m_ic->searchedNameAndIp(),
                              (QStringList{"short\n10.9.0.14", "sonar-2\n10.9.0.13"}), 8000);

    emit m_ic->sigCreateSearchThread(false);
    QCOMPARE(m_ic->searchedNameAndIp(), QStringList());
}

void TestSearchDev::directedSearchConnects()
{
    m_search->setTimings(periodMs, generousConnectTimeoutMs);
    auto two = sonar("sonar-2", "10.9.0.13");
    QVERIFY(two);
    QSignalSpy failed(m_ic, &InformationCenter::sigTryConnectFailed);
    QSignalSpy hostSeen(m_ic, &InformationCenter::hostIpChanged);
    openPanel(false);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.13"));
    QTRY_VERIFY_WITH_TIMEOUT(m_ic->connectOK(), generousConnectTimeoutMs);
    QCOMPARE(m_ic->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
    QCOMPARE(m_ic->dstIp(), QString("10.9.0.13"));
    QCOMPARE(m_ic->deviceName(), QString("sonar-2"));
    QVERIFY(m_ic->f_getHostIpAddrs().contains(m_ic->hostIp()));
    QVERIFY(m_cmd->connectOrNot());
    QCOMPARE(m_cmd->hostAddress(), m_ic->hostIp());
    QTRY_COMPARE_WITH_TIMEOUT(two->commands().connectionCount(), 1, 2000);
    // The success stopped the connect time-out.
    QVERIFY(!failed.wait(generousConnectTimeoutMs + nothingMoreMs));
}

void TestSearchDev::connectingToListedSonar()
{
    m_search->setTimings(periodMs, generousConnectTimeoutMs);
    auto ten = sonar("Sonar-10", "10.9.0.12");
    QVERIFY(ten);
    QSignalSpy tips(m_ic, &InformationCenter::sigTipsDialog);
    openPanel(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_ic->searchedNameAndIp(), QStringList{"Sonar-10\n10.9.0.12"}, 7000);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.12"));
    QTRY_VERIFY_WITH_TIMEOUT(m_ic->connectOK(), generousConnectTimeoutMs);
    QCOMPARE(m_ic->deviceName(), QString("Sonar-10"));

    // A second connection while the first is open closes it first and says so.
    openPanel(true);
    QTRY_COMPARE_WITH_TIMEOUT(m_ic->searchedNameAndIp(), QStringList{"Sonar-10\n10.9.0.12"}, 7000);
    m_ic->setConnectOK(false);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.12"));
    QTRY_VERIFY_WITH_TIMEOUT(m_ic->connectOK(), generousConnectTimeoutMs);
    bool reconnectTip = false;
    for (const auto &t : tips)
        reconnectTip |= t.at(1).toString() == QString::fromUtf8("断开并重新建立连接");
    QVERIFY(reconnectTip);
    QTRY_COMPARE_WITH_TIMEOUT(ten->commands().connectionCount(), 2, 2000);
    QCOMPARE(ten->commands().received().first().frame, QByteArray::fromHex("434D440600"));
}

void TestSearchDev::silentAddressTimesOut()
{
    QSignalSpy failed(m_ic, &InformationCenter::sigTryConnectFailed);
    QSignalSpy footer(m_ic, &InformationCenter::sigTipsCMD);
    QSignalSpy dialog(m_ic, &InformationCenter::sigTipsDialog);
    openPanel(false);
    dialog.clear();
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.77"));
    QCOMPARE(failed.size(), 0); // the attempt waits for its time-out
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
    QCOMPARE(failed.first().at(0).toString(), QString("10.9.0.77"));
    QCOMPARE(footer.last().at(0).toString(), QString::fromUtf8("连接超时：10.9.0.77"));
    QCOMPARE(dialog.last().at(0).toString(), QString::fromUtf8("提示"));
    QCOMPARE(dialog.last().at(1).toString(), QString::fromUtf8("连接失败：10.9.0.77"));
    QVERIFY(!m_ic->connectOK());
}

void TestSearchDev::repliesBehindSlowAttemptsStopAtTimeout()
{
    // A sonar whose command port never completes a handshake (its queue is full) while its
    // discovery replies keep coming: each reply to the pending target starts an attempt that
    // holds the GUI thread for the channel's 1 s connect wait. Replies that queue up meanwhile
    // must stop starting attempts once the connect time-out is up, or the GUI thread is held
    // for as many seconds. Here the time-out is shorter than one attempt: only the first reply
    // may start one.
    BsdSocket listener = BsdSocket::tcp();
    listener.setReuseAddress(true);
    const Ipv4Endpoint at{0x0a09000e, CmdDialog::defaultDevicePort}; // 10.9.0.14
    QVERIFY(listener.bind(at));
    QVERIFY(listener.listen(0));
    std::vector<BsdSocket> fillers;
    for (int i = 0; i < 4; ++i) {
        fillers.push_back(BsdSocket::tcp());
        fillers.back().connectTo(at, 100);
    }
    const QString target = QStringLiteral("10.9.0.14");
    QByteArray reply(896, '\0');
    reply[0] = char(0xA0);
    QSignalSpy footer(m_ic, &InformationCenter::sigTipsCMD);
    QSignalSpy failed(m_ic, &InformationCenter::sigTryConnectFailed);
    openPanel(false);
    emit m_ic->sigConnecting(true, target);
    for (int i = 0; i < 8; ++i) {
        QMetaObject::invokeMethod(m_search, "f_recvDevPack", Qt::QueuedConnection,
                                  Q_ARG(QByteArray, reply), Q_ARG(QString, target),
                                  Q_ARG(QString, QStringLiteral("10.9.0.1")));
    }
    bool repliesTaken = false;
    QMetaObject::invokeMethod(
        m_search, [&repliesTaken] { repliesTaken = true; }, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(repliesTaken && footer.size() == 1, 20000);
    QCOMPARE(footer.first().at(0).toString(), QString::fromUtf8("连接超时：10.9.0.14"));
    // One failure for the time-out, at most one for an attempt.
    QVERIFY2(failed.size() <= 2, qPrintable(QString::number(failed.size())));
    QVERIFY(!m_ic->connectOK());
}

void TestSearchDev::closingPanelEndsPendingConnect()
{
    QSignalSpy failed(m_ic, &InformationCenter::sigTryConnectFailed);
    openPanel(false);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.77"));
    emit m_ic->sigCreateSearchThread(false);
    QVERIFY(!failed.wait(nothingMoreMs));
}

void TestSearchDev::cancelConnect()
{
    QSignalSpy failed(m_ic, &InformationCenter::sigTryConnectFailed);
    openPanel(false);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.0.77"));
    emit m_ic->sigConnecting(false, QStringLiteral("10.9.0.77"));
    QVERIFY(!failed.wait(nothingMoreMs));
    QVERIFY(!m_ic->connectOK());
}

// The standalone simulated sonar in a namespace of its own, reached over a second veth pair:
// only the host socket on 10.9.1.1 hears it, so that is the host address of the connection.
void TestSearchDev::sonarInAnotherNamespace()
{
    m_search->setTimings(periodMs, generousConnectTimeoutMs);
    FarSonar far(QStringLiteral(KORVESSA_SONAR_SIM), QStringLiteral("kv2"),
                 QStringLiteral("10.9.1."), QStringLiteral("far-1"));
    QVERIFY(far.start());

    openPanel(true);
    QTRY_VERIFY_WITH_TIMEOUT(m_ic->searchedNameAndIp().contains("far-1\n10.9.1.2"), 30000);
    emit m_ic->sigConnecting(true, QStringLiteral("10.9.1.2"));
    QTRY_VERIFY_WITH_TIMEOUT(m_ic->connectOK(), generousConnectTimeoutMs);
    QCOMPARE(m_ic->hostIp(), QString("10.9.1.1"));
    QCOMPARE(m_ic->dstIp(), QString("10.9.1.2"));
    QCOMPARE(m_ic->deviceName(), QString("far-1"));

    QStringList shown;
    OperatorPrompt prompt = silentPrompt();
    prompt.warn = [&shown](const QString &, const QString &text) { shown.append(text); };
    m_cmd->setPrompt(prompt);
    m_cmd->sendCmd(QStringLiteral("0x4E"));
    QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList{"KX-SIM V1.0"}, 5000);
    m_cmd->disconnected();
    far.kill();
    // The pair went with the namespace that held one end.
    QTRY_VERIFY_WITH_TIMEOUT(!ipCommand({"link", "show", "kv2"}), 3000);
}

QTEST_MAIN(TestSearchDev)
#include "tst_searchdev.moc"
