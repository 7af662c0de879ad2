#include "netClass/CmdDialog.h"
#include "netClass/sdkSocketThread.h"
#include "processClass/PacketRing.h"
#include "processClass/UdpReceiver.h"
#include "support/LogCollector.h"
#include "support/SilentPrompt.h"
#include "support/SimulatedSonar.h"

#include <QSignalSpy>
#include <QTest>

#include <poll.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// The version query's time-out here, and how late a late answer comes.
constexpr int versionTimeoutMs = 2000;
constexpr int lateMs = 300;

// Waits until poll() reports the event on the socket: POLLRDHUP once the peer has closed its
// end, POLLERR once it has reset the connection.
bool socketShows(int socket, short event, int timeoutMs = 5000)
{
    pollfd p{socket, event, 0};
    return ::poll(&p, 1, timeoutMs) == 1 && (p.revents & event) != 0;
}

// Waits, without running the event loop, until nothing is left to read on the socket: the
// channel's router has taken every byte that reached it.
bool readUp(int socket, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int waiting = 0;
        if (::ioctl(socket, FIONREAD, &waiting) != 0)
            return false;
        if (waiting == 0)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

struct Warning
{
    QString title;
    QString text;
};

// The scan-notice reader on the dialog, its notices taken queued on this thread as the program
// takes them (the reader emits on its own thread).
struct NoticeReader : QObject
{
    explicit NoticeReader(CmdDialog **dialog) : m_reader(dialog)
    {
        connect(
            &m_reader, &sdkSocketThread::sigEndOrStart, this,
            [this](bool v) { m_notices.append(v); }, Qt::QueuedConnection);
    }
    sdkSocketThread m_reader;
    QList<bool> m_notices;
};

} // namespace

// The command channel against the simulated sonar on loopback.
class TestCmdDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connectAndStream();
    void typedCommands();
    void dataDestinationNeedsFourParts();
    void versionQuery_data();
    void versionQuery();
    void versionRepliesFlood();
    void versionQueryWithoutConnection();
    void versionQueryOnClosedChannel();
    void versionQueryEndsWithItsChannel_data();
    void versionQueryEndsWithItsChannel();
    void fpgaReadAndWrite();
    void fpgaReadLeavesStoppedReaderStopped();
    void fpgaReadDuringVersionQuery();
    void scanNotices();
    void noticeMessages_data();
    void noticeMessages();
    void disconnectSendsStop();
    void connectFailureMessage();
    void sonarEndsTheChannel_data();
    void sonarEndsTheChannel();
    void noLossWhileTheSonarStays_data();
    void noLossWhileTheSonarStays();

private:
    bool connectDialog();
    // Sends each piece to the dialog and waits until its router has read it before the next
    // one goes: every piece is a message of its own.
    bool sendApart(const QList<QByteArray> &pieces);
    // Sends "endofscan" and waits until the channel has dropped it for want of a scan, with
    // whatever a reader would have reported delivered by then.
    bool endOfScanDropped();

    SimulatedSonar *m_sonar = nullptr;
    CmdDialog *m_dialog = nullptr;
    QList<Warning> m_warnings;
};

void TestCmdDialog::init()
{
    m_sonar = new SimulatedSonar;
    QVERIFY(m_sonar->start("127.0.0.1", 0));
    m_dialog = new CmdDialog;
    m_dialog->setDevicePort(m_sonar->commands().port());
    m_dialog->setVersionTimeout(versionTimeoutMs);
    m_warnings.clear();
    OperatorPrompt prompt = silentPrompt();
    prompt.warn = [this](const QString &title, const QString &text) {
        m_warnings.append(Warning{title, text});
    };
    m_dialog->setPrompt(prompt);
}

void TestCmdDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    delete m_sonar;
    m_sonar = nullptr;
}

// Connects and waits until the sonar has taken the connection, so that what it sends next
// reaches this client.
bool TestCmdDialog::connectDialog()
{
    const int before = m_sonar->commands().connectionCount();
    if (!m_dialog->tryConnect("127.0.0.1", "127.0.0.1"))
        return false;
    return QTest::qWaitFor([&] { return m_sonar->commands().connectionCount() > before; }, 5000);
}

bool TestCmdDialog::sendApart(const QList<QByteArray> &pieces)
{
    for (const QByteArray &p : pieces) {
        if (!m_sonar->commands().sendToClient(p) || !m_sonar->commands().waitUntilDelivered(5000)
            || !readUp(m_dialog->currentSocket(), 5000))
            return false;
    }
    return true;
}

void TestCmdDialog::connectAndStream()
{
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy sockets(m_dialog, &CmdDialog::sigSocket);
    QVERIFY(connectDialog());
    QVERIFY(m_dialog->connectOrNot());
    QCOMPARE(sockets.size(), 1);
    QCOMPARE(sockets.at(0).at(0).toInt(), m_dialog->currentSocket());
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("连接成功：127.0.0.1"));

    // The data receiver binds its port and reports it; that port goes to the sonar as the
    // destination, as the core object does after each connection.
    PacketRing ring(packetSize, 2000);
    PacketRing *ringPointer = &ring;
    UdpReceiver receiver(&ringPointer, QStringLiteral("127.0.0.1"));
    QString receiverPort;
    connect(
        &receiver, &UdpReceiver::sig_rSonarDataPort, this,
        [&](const QString &port) {
            receiverPort = port;
            m_dialog->ipAndPortSetting(QStringLiteral("127.0.0.1"), port);
        },
        Qt::QueuedConnection);
    receiver.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_sonar->commands().hasDestination(), 3000);
    QCOMPARE(m_sonar->commands().destination().address, quint32(0x7f000001));
    QCOMPARE(QString::number(m_sonar->commands().destination().port), receiverPort);
    const QByteArray destination = m_sonar->commands().received().first().frame;
    QCOMPARE(destination.size(), 10);
    QCOMPARE(destination.left(8), QByteArray::fromHex("434D44000100007F"));

    m_sonar->streamer().setFrameRate(50);
    m_dialog->sendCmd(QString::fromUtf8("0x09接0x00接0x00接0x48接0x41")); // range 12.5 m
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    QTRY_VERIFY_WITH_TIMEOUT(m_sonar->commands().scanning(), 2000);
    QByteArray packet(packetSize, '\0');
    QTRY_VERIFY_WITH_TIMEOUT(ring.pop(packet.data()), 3000);
    packageInfo head;
    std::memcpy(&head, packet.constData(), sizeof head);
    QCOMPARE(head.maxDist, 12.5f);
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x00"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_sonar->commands().scanning(), 2000);
}

void TestCmdDialog::typedCommands()
{
    QSignalSpy cleared(m_dialog, &CmdDialog::sigClearCmdStr);
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01")); // not connected: dropped
    QCOMPARE(cleared.size(), 0);
    QVERIFY(connectDialog());
    m_dialog->sendCmd(" ");
    QCOMPARE(cleared.size(), 0);
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    m_dialog->sendCmd(QString::fromUtf8("0x10接0xff"));
    QCOMPARE(cleared.size(), 3);
    // A last command marks the end: nothing else may have gone before it.
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x00"));
    QVERIFY(m_sonar->commands().waitForFrames(4, 5000));
    const auto frames = m_sonar->commands().received();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames.at(0).frame, QByteArray::fromHex("434D440601"));
    QCOMPARE(frames.at(1).frame, QByteArray::fromHex("434D440601"));
    QCOMPARE(frames.at(2).frame, QByteArray::fromHex("434D4410FF"));
    QCOMPARE(frames.at(3).frame, QByteArray::fromHex("434D440600"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sonar->commands().header().power, quint8(0xff), 2000);
}

void TestCmdDialog::dataDestinationNeedsFourParts()
{
    QVERIFY(connectDialog());
    m_dialog->ipAndPortSetting("127.0.0", "5008");
    m_dialog->ipAndPortSetting("", "5008");
    m_dialog->ipAndPortSetting("127.0.0.1", "5008");
    // Only the last one was sent: it is the first frame to arrive.
    QVERIFY(m_sonar->commands().waitForFrames(1, 5000));
    QCOMPARE(m_sonar->commands().received().first().frame,
             QByteArray::fromHex("434D44000100007F9013"));
}

bool TestCmdDialog::endOfScanDropped()
{
    LogCollector log;
    if (!m_sonar->sendEndOfScan()
        || !QTest::qWaitFor(
            [&] { return log.contains(QtDebugMsg, "scan notice outside a scan dropped"); }, 5000))
        return false;
    QCoreApplication::sendPostedEvents();
    return true;
}

void TestCmdDialog::versionQuery_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("shown");
    const QString text = QStringLiteral("KX-SIM V1.0");
    const QString timeout = QString::fromUtf8("查询版本号超时，请重试");
    QTest::newRow("typed 0x4E") << true << int(SimSonarCommandServer::Fault::None) << text;
    QTest::newRow("getVersionInfo") << false << int(SimSonarCommandServer::Fault::None) << text;
    QTest::newRow("late but within the time-out")
        << true << int(SimSonarCommandServer::Fault::Late) << text;
    QTest::newRow("no answer") << true << int(SimSonarCommandServer::Fault::NoAnswer) << timeout;
    QTest::newRow("five bytes is a status")
        << false << int(SimSonarCommandServer::Fault::WrongLength) << timeout;
}

void TestCmdDialog::versionQuery()
{
    QFETCH(bool, typed);
    QFETCH(int, fault);
    QFETCH(QString, shown);
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 SimSonarCommandServer::Fault(fault), lateMs);
    QVERIFY(connectDialog());
    // A stray answer that came before the query must not be taken for the version.
    LogCollector log;
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, "unasked reply dropped"), 5000);
    QSignalSpy mask(m_dialog, &CmdDialog::sigCloseForbiddenMask);
    if (typed)
        m_dialog->sendCmd(QStringLiteral("0x4E"));
    else
        m_dialog->getVersionInfo();
    QTRY_COMPARE_WITH_TIMEOUT(m_warnings.size(), 1, 5000);
    QCOMPARE(m_warnings.first().title, QString::fromUtf8("版本信息"));
    QCOMPARE(m_warnings.first().text, shown);
    QCOMPARE(mask.size(), 1);
    // An answer stops the time-out: no second box when its time has passed.
    if (shown == QStringLiteral("KX-SIM V1.0"))
        QVERIFY(!mask.wait(versionTimeoutMs));
    QCOMPARE(m_warnings.size(), 1);
}

void TestCmdDialog::versionRepliesFlood()
{
    // A sonar that answers one query many times: the replies pile up while the GUI thread is
    // busy (here: in sendApart, which runs no events), and each would open a message box of
    // its own on top of the last.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 SimSonarCommandServer::Fault::NoAnswer);
    QVERIFY(connectDialog());
    QSignalSpy mask(m_dialog, &CmdDialog::sigCloseForbiddenMask);
    m_dialog->sendCmd(QStringLiteral("0x4E"));
    QVERIFY(m_sonar->commands().waitForFrames(1, 5000));
    const QByteArray again("N\0again\0", 8);
    QVERIFY(sendApart({QByteArray("N\0KX-SIM V1.0\0", 14), again, again, again, again}));
    QTRY_COMPARE_WITH_TIMEOUT(m_warnings.size(), 1, 5000);
    // The first answer stopped the reader; whatever it had reported before is queued already.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(m_warnings.size(), 1);
    QCOMPARE(m_warnings.first().text, QStringLiteral("KX-SIM V1.0"));
    QCOMPARE(mask.size(), 1);
}

void TestCmdDialog::versionQueryWithoutConnection()
{
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy mask(m_dialog, &CmdDialog::sigCloseForbiddenMask);
    m_dialog->getVersionInfo();
    QCOMPARE(m_warnings.size(), 1);
    QCOMPARE(m_warnings.first().text, QString::fromUtf8("连接已断开"));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().at(0).toString(), QString::fromUtf8("断开连接"));
    QCOMPARE(mask.size(), 1);
}

void TestCmdDialog::versionQueryOnClosedChannel()
{
    QVERIFY(connectDialog());
    const int socket = m_dialog->currentSocket();
    m_sonar->commands().closeClient();
    QVERIFY(socketShows(socket, POLLRDHUP)); // the sonar's end is closed
    QSignalSpy cleared(m_dialog, &CmdDialog::sigClearCmdStr);
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01")); // the peer answers it with a reset
    QVERIFY(socketShows(socket, POLLERR));
    QSignalSpy mask(m_dialog, &CmdDialog::sigCloseForbiddenMask);
    m_dialog->getVersionInfo();
    QCOMPARE(m_warnings.size(), 1);
    QCOMPARE(m_warnings.first().text, QString::fromUtf8("查询版本失败，请重试"));
    QCOMPARE(mask.size(), 1);

    // The typed query goes out on it as well. The loss that the failed sends report ends the
    // query at once: the overlay goes, and no time-out box follows.
    m_dialog->sendCmd(QStringLiteral("0x4E"));
    QCOMPARE(cleared.size(), 2);
    QTRY_COMPARE_WITH_TIMEOUT(mask.size(), 2, 5000);
    QVERIFY(!m_dialog->connectOrNot());
    QTest::qWait(versionTimeoutMs + 500);
    QCOMPARE(m_warnings.size(), 1);
    QCOMPARE(mask.size(), 2);
}

void TestCmdDialog::versionQueryEndsWithItsChannel_data()
{
    QTest::addColumn<QString>("end");
    QTest::newRow("the sonar closes the channel instead of answering") << "close";
    QTest::newRow("the sonar resets the channel while the query waits") << "reset";
    QTest::newRow("the operator disconnects") << "disconnect";
    QTest::newRow("connected anew") << "reconnect";
}

// A query waits for its answer up to the time-out. When its channel ends meanwhile, the query
// ends with it: the busy overlay goes at once, and no time-out box follows later.
void TestCmdDialog::versionQueryEndsWithItsChannel()
{
    QFETCH(QString, end);
    const bool sonarEnds = end == QLatin1String("close") || end == QLatin1String("reset");
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 end == QLatin1String("close")
                                     ? SimSonarCommandServer::Fault::Close
                                     : SimSonarCommandServer::Fault::NoAnswer);
    QVERIFY(connectDialog());
    QSignalSpy mask(m_dialog, &CmdDialog::sigCloseForbiddenMask);
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);
    m_dialog->getVersionInfo();
    QVERIFY(m_sonar->commands().waitForFrames(1, 5000));
    QCOMPARE(mask.size(), 0);

    if (end == QLatin1String("reset"))
        m_sonar->commands().closeClient(true);
    else if (end == QLatin1String("disconnect"))
        m_dialog->disconnected();
    else if (end == QLatin1String("reconnect"))
        QVERIFY(connectDialog());
    if (sonarEnds)
        QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    QCOMPARE(mask.size(), 1);
    QVERIFY(m_warnings.isEmpty());

    // Past the time-out: still no box, and the overlay was closed only once.
    QTest::qWait(versionTimeoutMs + 500);
    QVERIFY2(m_warnings.isEmpty(), qPrintable(m_warnings.value(0).text));
    QCOMPARE(mask.size(), 1);
    QCOMPARE(lost.size(), sonarEnds ? 1 : 0);
    QCOMPARE(m_dialog->connectOrNot(), end == QLatin1String("reconnect"));
}

void TestCmdDialog::fpgaReadAndWrite()
{
    QSignalSpy data(m_dialog, &CmdDialog::sigReadFpgaText);
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy pause(m_dialog, &CmdDialog::sigStopOrStartTcpRecvThread);
    QTest::ignoreMessage(QtDebugMsg, "未连接声呐，读fpga 失败");
    m_dialog->fReadFpga("10"); // not connected: nothing but the pause and the resume
    QTest::ignoreMessage(QtDebugMsg, "未连接声呐，写fpga 失败");
    m_dialog->fWriteFpga("10", "1");
    QCOMPARE(data.size(), 0);
    QCOMPARE(messages.size(), 0);
    QCOMPARE(pause.size(), 2);
    QCOMPARE(pause.at(0).at(0).toBool(), false);
    QCOMPARE(pause.at(1).at(0).toBool(), true);

    QVERIFY(connectDialog());
    messages.clear();
    m_sonar->commands().setRegister(0x10, 0x12345678);
    QTest::ignoreMessage(QtDebugMsg, "读fpga 指令：43 4D 44 FF 10 00 04 00");
    QTest::ignoreMessage(QtDebugMsg, "读fpga：10");
    m_dialog->fReadFpga("10");
    QCOMPARE(data.size(), 1);
    QCOMPARE(data.first().at(0).toString(), QString("12 34 56 78"));
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("读fpga：10"));

    QTest::ignoreMessage(QtDebugMsg, "写fpga 指令：43 4D 44 FE 20 00 A1 B2 C3 D4");
    QTest::ignoreMessage(QtDebugMsg, "收到回复ok");
    QTest::ignoreMessage(QtDebugMsg, "写fpga：0x0020");
    m_dialog->fWriteFpga("0x0020", "A1B2C3D4");
    QCOMPARE(m_sonar->commands().registerValue(0x20), quint32(0xA1B2C3D4));
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("写fpga：0x0020"));
    m_dialog->fReadFpga("0x0020", 2);
    QCOMPARE(data.last().at(0).toString(), QString("A1 B2"));

    // A write answered by anything but the acknowledgement is only logged.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Acknowledgement,
                                 SimSonarCommandServer::Fault::WrongLength);
    const int shown = data.size();
    QTest::ignoreMessage(QtDebugMsg, "收到的回复：4F 4B");
    m_dialog->fWriteFpga("20", "1");
    QCOMPARE(data.size(), shown);
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("写fpga：20"));

    // Silence: the read gives up after the reply time-out and still reports.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::FpgaData,
                                 SimSonarCommandServer::Fault::NoAnswer);
    const int before = data.size();
    QTest::ignoreMessage(QtDebugMsg, "未收到回复ok");
    m_dialog->fReadFpga("10");
    QCOMPARE(data.size(), before);
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("读fpga：10"));
    const auto frames = m_sonar->commands().received();
    QCOMPARE(frames.first().frame, QByteArray::fromHex("434D44FF10000400"));

    // The sonar closes the channel instead of answering: the channel is over here as well,
    // and says that it was lost.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::FpgaData,
                                 SimSonarCommandServer::Fault::Close);
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);
    messages.clear();
    m_dialog->fReadFpga("10");
    QCOMPARE(lost.size(), 1);
    QVERIFY(!m_dialog->connectOrNot());
    QCOMPARE(m_dialog->currentSocket(), invalidSocket);
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).at(0).toString(), QString::fromUtf8("断开连接"));
    QCOMPARE(messages.at(1).at(0).toString(), QString::fromUtf8("读fpga：10"));
}

void TestCmdDialog::fpgaReadLeavesStoppedReaderStopped()
{
    NoticeReader scan(&m_dialog);
    QVERIFY(connectDialog());
    m_sonar->commands().setRegister(0x10, 0xCAFE);
    m_dialog->fReadFpga("10");
    // No scan runs: the read must not have left a notice reader running, nor listening.
    QVERIFY(endOfScanDropped());
    QCOMPARE(scan.m_notices.size(), 0);
    m_dialog->sendCmd(QStringLiteral("0x4E"));
    QTRY_COMPARE_WITH_TIMEOUT(m_warnings.size(), 1, 5000);
    QCOMPARE(m_warnings.first().text, QStringLiteral("KX-SIM V1.0"));
}

void TestCmdDialog::fpgaReadDuringVersionQuery()
{
    // The version reader listens while the read waits: each must get its own answer.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 SimSonarCommandServer::Fault::Late, lateMs);
    m_sonar->commands().setRegister(0x10, 0x12345678);
    QVERIFY(connectDialog());
    QSignalSpy data(m_dialog, &CmdDialog::sigReadFpgaText);
    m_dialog->sendCmd(QStringLiteral("0x4E"));
    m_dialog->fReadFpga("10");
    QCOMPARE(data.size(), 1);
    QCOMPARE(data.first().at(0).toString(), QString("12 34 56 78"));
    QTRY_COMPARE_WITH_TIMEOUT(m_warnings.size(), 1, 5000);
    QCOMPARE(m_warnings.first().text, QStringLiteral("KX-SIM V1.0"));
}

void TestCmdDialog::scanNotices()
{
    NoticeReader scan(&m_dialog);
    QVERIFY(connectDialog());
    scan.m_reader.start();
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    QTRY_VERIFY_WITH_TIMEOUT(m_sonar->commands().scanning(), 2000);
    QVERIFY(m_sonar->sendEndOfScan());
    QTRY_COMPARE_WITH_TIMEOUT(scan.m_notices.size(), 1, 5000);
    QCOMPARE(scan.m_notices.first(), false);

    // An FPGA read during the scan pauses the reader and brings it back; a second report of
    // the first notice would come before this one.
    m_sonar->commands().setRegister(0x10, 0x1);
    m_dialog->fReadFpga("10");
    QVERIFY(m_sonar->sendReseting());
    QTRY_COMPARE_WITH_TIMEOUT(scan.m_notices.size(), 2, 5000);
    QCOMPARE(scan.m_notices, (QList<bool>{false, true}));

    // A register write during the scan gets its own acknowledgement.
    m_dialog->fWriteFpga("30", "5");
    QCOMPARE(m_sonar->commands().registerValue(0x30), quint32(5));
    scan.m_reader.stop();
    QVERIFY(endOfScanDropped());
    QCOMPARE(scan.m_notices.size(), 2);
}

void TestCmdDialog::noticeMessages_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces"); // each one a message of its own
    QTest::addColumn<QList<bool>>("expected");
    QTest::newRow("end of scan") << QList<QByteArray>{"endofscan"} << QList<bool>{false};
    QTest::newRow("reseting") << QList<QByteArray>{"reseting"} << QList<bool>{true};
    QTest::newRow("both: end wins")
        << QList<QByteArray>{"reseting endofscan"} << QList<bool>{false};
    QTest::newRow("after 2000 bytes in one burst")
        << QList<QByteArray>{QByteArray(2000, 'x') + "endofscan"} << QList<bool>{false};
    QTest::newRow("split apart") << QList<QByteArray>{"endof", "scan"} << QList<bool>{};
    QTest::newRow("anything else")
        << QList<QByteArray>{QByteArray("OK\n\0", 4), "N"} << QList<bool>{};
}

void TestCmdDialog::noticeMessages()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QList<bool>, expected);
    NoticeReader scan(&m_dialog);
    QVERIFY(connectDialog());
    scan.m_reader.start();
    // A last reset notice marks the end: whatever the pieces gave is reported before it.
    QVERIFY(sendApart(pieces + QList<QByteArray>{"reseting"}));
    QTRY_COMPARE_WITH_TIMEOUT(scan.m_notices, expected + QList<bool>{true}, 5000);
}

void TestCmdDialog::disconnectSendsStop()
{
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    m_dialog->disconnected();
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("断开连接"));
    QVERIFY(connectDialog());
    m_dialog->disconnected();
    QVERIFY(!m_dialog->connectOrNot());
    QCOMPARE(m_dialog->currentSocket(), invalidSocket);
    QVERIFY(m_sonar->commands().waitForFrames(1, 2000));
    QCOMPARE(m_sonar->commands().received().first().frame, QByteArray::fromHex("434D440600"));
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("断开连接"));
}

void TestCmdDialog::connectFailureMessage()
{
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy failed(m_dialog, &CmdDialog::sigFailed);
    QVERIFY(!m_dialog->tryConnect("127.0.0.1", "203.0.113.9"));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(messages.last().at(0).toString(), QString::fromUtf8("连接失败：127.0.0.1"));
    QCOMPARE(m_dialog->currentSocket(), invalidSocket);
    m_dialog->connectDirect("127.0.0.1");
    QVERIFY(m_dialog->connectOrNot());
    QVERIFY(m_dialog->currentSocket() != invalidSocket);
}

void TestCmdDialog::sonarEndsTheChannel_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QString>("then"); // what the program does next on the channel
    QTest::newRow("closed, nothing more") << false << QString();
    QTest::newRow("reset, nothing more") << true << QString();
    QTest::newRow("closed during a scan") << false << "scan";
    QTest::newRow("reset during a scan") << true << "scan";
    QTest::newRow("closed, then a typed command") << false << "command";
    QTest::newRow("reset, then a typed command") << true << "command";
    QTest::newRow("closed, then the data destination") << false << "destination";
    QTest::newRow("closed, then a register write") << false << "register write";
    QTest::newRow("reset, then a version query") << true << "version";
}

// The sonar closes or resets the channel on its own, while nothing is exchanged, while the
// scan-notice reader reads, or just before the program sends on it: the channel is closed
// here as well and reports its loss, once, whatever path met the end first.
void TestCmdDialog::sonarEndsTheChannel()
{
    QFETCH(bool, reset);
    QFETCH(QString, then);
    NoticeReader scan(&m_dialog);
    QVERIFY(connectDialog());
    if (then == QLatin1String("scan"))
        scan.m_reader.start();
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    const int socket = m_dialog->currentSocket();

    m_sonar->commands().closeClient(reset);
    // The end has reached this side; the event loop has not run since.
    QVERIFY(socketShows(socket, POLLRDHUP));
    if (then == QLatin1String("command"))
        m_dialog->sendCmd(QString::fromUtf8("0x06接0x01"));
    else if (then == QLatin1String("destination"))
        m_dialog->ipAndPortSetting(QStringLiteral("127.0.0.1"), QStringLiteral("5008"));
    else if (then == QLatin1String("register write"))
        m_dialog->fWriteFpga(QStringLiteral("10"), QStringLiteral("1"));
    else if (then == QLatin1String("version"))
        m_dialog->getVersionInfo();

    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, 5000);
    QVERIFY(!m_dialog->connectOrNot());
    QCOMPARE(m_dialog->currentSocket(), invalidSocket);
    // The channel's router has ended with the close: every other report of the same end has
    // been queued by now, and is stale.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(lost.size(), 1);
    QStringList told;
    for (const QList<QVariant> &m : messages)
        told.append(m.at(0).toString());
    QCOMPARE(told.count(QString::fromUtf8("断开连接")), 1);
    // The sonar is back: connecting works as before.
    QVERIFY(connectDialog());
    m_dialog->sendCmd(QString::fromUtf8("0x05接0x01"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_sonar->commands().received().isEmpty()
                                 && m_sonar->commands().received().last().frame
                                        == QByteArray::fromHex("434D440501"),
                             5000);
    QCOMPARE(lost.size(), 1);
    // The scan ended with the channel it ran on: no reader takes the new one's notices.
    QVERIFY(endOfScanDropped());
    QCOMPARE(scan.m_notices.size(), 0);
}

void TestCmdDialog::noLossWhileTheSonarStays_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("register read answered late") << "slow";
    QTest::newRow("operator's disconnect") << "disconnect";
    QTest::newRow("connected anew") << "reconnect";
    QTest::newRow("quiet for many keepalive rounds") << "quiet";
}

// A sonar that is slow to answer one exchange, or quiet for longer than a silent one is given
// before it counts as not answering, is still there; the operator's own disconnect and a new
// connection end the old channel by this side's hand. None of them is a loss, and the operator
// is never told that the sonar does not answer.
void TestCmdDialog::noLossWhileTheSonarStays()
{
    QFETCH(QString, action);
    QVERIFY(connectDialog());
    m_sonar->commands().setRegister(0x10, 0x12345678);
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy data(m_dialog, &CmdDialog::sigReadFpgaText);
    LogCollector log;
    if (action == QLatin1String("slow")) {
        m_sonar->commands().setFault(SimSonarCommandServer::Answer::FpgaData,
                                     SimSonarCommandServer::Fault::Late, 1000);
        m_dialog->fReadFpga("10");
        QVERIFY(log.contains(QtDebugMsg, QStringLiteral("未收到回复ok")));
        QTRY_VERIFY_WITH_TIMEOUT(log.contains(QtDebugMsg, QStringLiteral("unasked reply dropped")),
                                 5000);
        m_sonar->commands().setFault(SimSonarCommandServer::Answer::FpgaData,
                                     SimSonarCommandServer::Fault::None);
    } else if (action == QLatin1String("disconnect")) {
        m_dialog->disconnected();
    } else if (action == QLatin1String("reconnect")) {
        QVERIFY(connectDialog());
    } else {
        QVERIFY(!lost.wait(3 * CmdSocket::notAnsweringMs));
    }
    // The old channel's router has ended (a close here joins it): anything it reported is
    // queued by now.
    QCoreApplication::sendPostedEvents();
    QCOMPARE(lost.size(), 0);
    for (const QList<QVariant> &m : messages)
        QVERIFY(m.at(0).toString() != QString::fromUtf8("声呐无响应"));
    if (action == QLatin1String("disconnect")) {
        QVERIFY(!m_dialog->connectOrNot());
        return;
    }
    QVERIFY(m_dialog->connectOrNot());
    data.clear();
    m_dialog->fReadFpga("10");
    QCOMPARE(data.size(), 1);
    QCOMPARE(data.first().at(0).toString(), QString("12 34 56 78"));
}

QTEST_MAIN(TestCmdDialog)
#include "tst_cmddialog.moc"
