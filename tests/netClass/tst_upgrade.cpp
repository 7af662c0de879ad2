#include "netClass/CmdDialog.h"
#include "netClass/FirmwareUpgrade.h"
#include "netClass/ProgressDialog.h"
#include "netClass/sdkSocketThread.h"
#include "support/NetworkIsolation.h"
#include "support/ProgressWindow.h"
#include "support/SilentPrompt.h"
#include "support/SimulatedSonar.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QProcess>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include <sys/stat.h>

namespace {

using UpgradeFault = SimSonarCommandServer::UpgradeFault;

struct Warning
{
    QString title;
    QString text;
    bool operator==(const Warning &o) const { return title == o.title && text == o.text; }
};

const Warning upgradeCompleted{QString::fromUtf8("提示!"),
                               QString::fromUtf8("程序下载成功，请重新上电!")};
const Warning noAcknowledgement{QString::fromUtf8("警告!"), QString::fromUtf8("未收到回复消息!")};

// Bytes that differ from packet to packet, so a packet sent twice, out of order or from the
// wrong offset shows in what the sonar put together.
QByteArray firmware(qint64 size)
{
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[qsizetype(i)] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

QList<SimSonarCommandServer::Received> upgradePackets(SimulatedSonar &sonar)
{
    QList<SimSonarCommandServer::Received> packets;
    const auto frames = sonar.commands().received();
    for (const auto &r : frames) {
        if (r.frame.startsWith(QByteArray("CMD\xA5", 4)))
            packets.append(r);
    }
    return packets;
}

qint64 realtimeNs()
{
    return QDateTime::currentMSecsSinceEpoch() * 1000000;
}

} // namespace

// The firmware upgrade against the simulated sonar on loopback, driven from a file path as
// the file chooser hands it over, and the progress dialog it shares with replay.
class TestUpgrade : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sendsFile_data();
    void sendsFile();
    void pacesAllButTheLastPacket();
    void largestFile();
    void acknowledgementFaults_data();
    void acknowledgementFaults();
    void lateAcknowledgement();
    void refusedFiles_data();
    void refusedFiles();
    void withoutConnection();
    void strayAnswersAndOtherReaders();
    void reconnectedDuringTheUpgrade_data();
    void reconnectedDuringTheUpgrade();
    void commandsWaitForTheUpgrade();
    void versionTimeoutWaitsForTheUpgrade();
    void windowKeepsPainting();
    void chooser_data();
    void chooser();
    void chooserAnsweredByThePrompt_data();
    void chooserAnsweredByThePrompt();
    void showProgress_data();
    void showProgress();
    void toolTakesUpgrade();

private:
    bool connectDialog();
    QString writeFile(const QByteArray &bytes, const QString &name = QStringLiteral("fw.kx6204up"));
    // Runs work from the event loop once the first packet has been acknowledged, as a queued
    // signal or a timer would while the upgrade waits for the next one.
    void onceUnderway(std::function<void()> work);
    // Sends a marker frame and waits until the sonar has it: everything sent before has then
    // arrived as well (one TCP stream), so the frames before it are all there ever were.
    QList<QByteArray> framesBeforeMarker();

    SimulatedSonar *m_sonar = nullptr;
    CmdDialog *m_dialog = nullptr;
    QTemporaryDir *m_dir = nullptr;
    QList<Warning> m_warnings;
};

void TestUpgrade::init()
{
    m_sonar = new SimulatedSonar;
    QVERIFY(m_sonar->start("127.0.0.1", 0));
    m_dialog = new CmdDialog;
    m_dialog->setDevicePort(m_sonar->commands().port());
    m_warnings.clear();
    // The file dialog stays the program's own: the chooser's test answers it.
    OperatorPrompt prompt = OperatorPrompt::boxes();
    prompt.warn = [this](const QString &title, const QString &text) {
        m_warnings.append(Warning{title, text});
    };
    m_dialog->setPrompt(prompt);
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
}

void TestUpgrade::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    delete m_sonar;
    m_sonar = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

bool TestUpgrade::connectDialog()
{
    const int before = m_sonar->commands().connectionCount();
    if (!m_dialog->tryConnect("127.0.0.1", "127.0.0.1"))
        return false;
    return QTest::qWaitFor([&] { return m_sonar->commands().connectionCount() > before; }, 2000);
}

QString TestUpgrade::writeFile(const QByteArray &bytes, const QString &name)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestUpgrade::onceUnderway(std::function<void()> work)
{
    QProgressBar *bar = progressDialog()->findChild<QProgressBar *>();
    auto armed = std::make_shared<QMetaObject::Connection>();
    *armed = connect(bar, &QProgressBar::valueChanged, this, [armed, work](int value) {
        if (value <= 0)
            return;
        QObject::disconnect(*armed);
        QTimer::singleShot(0, work);
    });
}

QList<QByteArray> TestUpgrade::framesBeforeMarker()
{
    const QByteArray marker = QByteArray::fromHex("434D440600");
    m_dialog->sendCmd(QString::fromUtf8("0x06接0x00"));
    QList<QByteArray> frames;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        frames.clear();
        const auto received = m_sonar->commands().received();
        for (const auto &r : received)
            frames.append(r.frame);
        if (!frames.isEmpty() && frames.last() == marker) {
            frames.removeLast();
            return frames;
        }
        QTest::qWait(10);
    }
    return {QByteArray("no marker")};
}

void TestUpgrade::sendsFile_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("packetSizes");
    QTest::addColumn<QList<int>>("bar"); // the values the bar takes, in order
    QTest::newRow("768: one packet") << 768 << QList<int>{778} << QList<int>{100};
    QTest::newRow("769: one byte in the second")
        << 769 << QList<int>{778, 11} << QList<int>{99, 100};
    QTest::newRow("1537: three packets")
        << 1537 << QList<int>{778, 778, 11} << QList<int>{49, 99, 100};
}

void TestUpgrade::sendsFile()
{
    QFETCH(int, size);
    QFETCH(QList<int>, packetSizes);
    QFETCH(QList<int>, bar);
    const QByteArray file = firmware(size);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    ProgressDialog *progress = progressDialog();
    QVERIFY(progress);
    // After a replay's progress, which blocks nothing, the upgrade's keeps the operator out.
    m_dialog->initProgress();
    m_dialog->showProgress(100.0, false);
    QList<int> barValues;
    bool modal = true;
    connect(progress->findChild<QProgressBar *>(), &QProgressBar::valueChanged, this,
            [&barValues, &modal, progress](int v) {
                barValues.append(v);
                modal = modal && progress->isModal() && progress->isVisible();
            });

    m_dialog->upgradeFromFile(path);

    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    QCOMPARE(barValues, bar);
    QVERIFY(modal);
    QVERIFY(!progress->isVisible());
    const SimSonarCommandServer::Upgrade got = m_sonar->commands().upgrade();
    QCOMPARE(got.bytes, file);
    QCOMPARE(got.packets, int(packetSizes.size()));
    QCOMPARE(got.refused, 0);
    const auto packets = upgradePackets(*m_sonar);
    QList<int> sizes;
    for (const auto &p : packets)
        sizes.append(int(p.frame.size()));
    QCOMPARE(sizes, packetSizes);
    // Each packet leaves at least 20 ms after the one before, as the kernel saw them arrive.
    for (int i = 1; i < packets.size(); ++i) {
        QVERIFY(packets.at(i).arrivedNs > 0);
        const qint64 gap = packets.at(i).arrivedNs - packets.at(i - 1).arrivedNs;
        QVERIFY2(gap >= 20000000, qPrintable(QStringLiteral("gap %1 ns").arg(gap)));
    }
    QVERIFY(m_dialog->connectOrNot());
}

// The pause follows every packet but the last. It is lengthened here, so that a pause after
// the last one would show far beyond any scheduling delay.
void TestUpgrade::pacesAllButTheLastPacket()
{
    constexpr qint64 pacingMs = 1500;
    m_dialog->setUpgradePacing(std::chrono::milliseconds(pacingMs));
    const QString path = writeFile(firmware(769));
    QVERIFY(connectDialog());
    m_dialog->upgradeFromFile(path);
    const qint64 endedNs = realtimeNs();
    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    const auto packets = upgradePackets(*m_sonar);
    QCOMPARE(packets.size(), 2);
    QVERIFY(packets.at(1).arrivedNs - packets.at(0).arrivedNs >= pacingMs * 1000000);
    // Milliseconds of the realtime clock: the end is known to within one of them.
    QVERIFY(endedNs - packets.at(1).arrivedNs < pacingMs * 1000000 - 1000000);
}

// 10485752 bytes is the largest file: 13654 packets, the last index 13653 with 248 bytes. Without the pause it is quick enough to send whole.
void TestUpgrade::largestFile()
{
    m_dialog->setUpgradePacing(std::chrono::milliseconds(0));
    const QByteArray file = firmware(10485752);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    m_dialog->upgradeFromFile(path);
    QLoggingCategory::setFilterRules(QString());
    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    const SimSonarCommandServer::Upgrade got = m_sonar->commands().upgrade();
    QCOMPARE(got.packets, 13654);
    QCOMPARE(got.refused, 0);
    QVERIFY(got.bytes == file);
    const QByteArray last = upgradePackets(*m_sonar).last().frame;
    QCOMPARE(last.size(), 258);
    QCOMPARE(last.mid(4, 6), QByteArray::fromHex("F8FF9F005535"));
}

void TestUpgrade::acknowledgementFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("nth");
    QTest::addColumn<int>("packetsSent");
    QTest::addColumn<bool>("completed");
    QTest::addColumn<bool>("stillConnected");
    const auto row = [](const char *name, UpgradeFault f, int nth, int sent, bool completed,
                        bool connected) {
        QTest::newRow(name) << int(f) << nth << sent << completed << connected;
    };
    row("second withheld", UpgradeFault::Withhold, 2, 2, false, true);
    row("wrong three bytes", UpgradeFault::Wrong, 1, 1, false, true);
    row("four bytes with the NUL", UpgradeFault::FourBytes, 2, 2, false, true);
    row("OK and line feed apart", UpgradeFault::Split, 1, 3, true, true);
    row("closed instead of the second", UpgradeFault::Close, 2, 2, false, false);
    row("reset instead of the second", UpgradeFault::Reset, 2, 2, false, false);
}

void TestUpgrade::acknowledgementFaults()
{
    QFETCH(int, fault);
    QFETCH(int, nth);
    QFETCH(int, packetsSent);
    QFETCH(bool, completed);
    QFETCH(bool, stillConnected);
    const QByteArray file = firmware(1537);
    const QString path = writeFile(file);
    m_sonar->commands().setUpgradeFault(UpgradeFault(fault), nth);
    QVERIFY(connectDialog());
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);

    m_dialog->upgradeFromFile(path);

    QCOMPARE(m_warnings, QList<Warning>{completed ? upgradeCompleted : noAcknowledgement});
    QVERIFY(!progressDialog()->isVisible());
    QCOMPARE(m_dialog->connectOrNot(), stillConnected);
    QCOMPARE(lost.size(), stillConnected ? 0 : 1);
    if (stillConnected) {
        QCOMPARE(messages.size(), 0);
        const QList<QByteArray> frames = framesBeforeMarker();
        QCOMPARE(frames.size(), packetsSent);
    } else {
        // The sonar went away: the channel says so and holds no socket any more.
        QCOMPARE(m_dialog->currentSocket(), invalidSocket);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().at(0).toString(), QString::fromUtf8("断开连接"));
        QCOMPARE(upgradePackets(*m_sonar).size(), packetsSent);
    }
    QCOMPARE(m_sonar->commands().upgrade().bytes, file.left(qMin(packetsSent * 768, 1537)));
}

// The acknowledgement may take up to 3 s: one that comes 2.5 s after the sonar took its
// packet still completes the upgrade.
void TestUpgrade::lateAcknowledgement()
{
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::UpgradeAck,
                                 SimSonarCommandServer::Fault::Late, 2500);
    const QByteArray file = firmware(769);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    m_dialog->upgradeFromFile(path);
    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    QCOMPARE(m_sonar->commands().upgrade().bytes, file);
    QVERIFY(m_dialog->connectOrNot());
}

void TestUpgrade::refusedFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    const QString refused = QStringLiteral("file is error!");
    const QString notOpened = QStringLiteral("open file error!");
    QTest::newRow("empty") << "empty" << refused;
    QTest::newRow("one byte above 10485752") << "too large" << refused;
    QTest::newRow("shorter than it says") << "short read" << refused;
    QTest::newRow("missing") << "missing" << notOpened;
    QTest::newRow("a directory") << "directory" << notOpened;
    QTest::newRow("a pipe, which would wait for a writer") << "pipe" << notOpened;
}

void TestUpgrade::refusedFiles()
{
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QString path;
    if (kind == "empty") {
        path = writeFile(QByteArray());
    } else if (kind == "too large") {
        path = writeFile(QByteArray(10485753, 'x'));
    } else if (kind == "missing") {
        path = m_dir->filePath("none.kx6204up");
    } else if (kind == "directory") {
        path = m_dir->path();
    } else if (kind == "pipe") {
        path = m_dir->filePath("pipe.kx6204up");
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        // A kernel attribute file says it holds a page and reads back a few bytes, as a file
        // cut short between the size and the read does.
        path = QStringLiteral("/sys/devices/system/cpu/online");
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly) || probe.size() <= probe.readAll().size())
            QSKIP("no attribute file that reads shorter than its size");
    }
    QVERIFY(!path.isEmpty());
    QVERIFY(connectDialog());
    m_dialog->upgradeFromFile(path);
    const QList<Warning> told{Warning{QStringLiteral("warning!"), text}};
    QCOMPARE(m_warnings, told);
    QVERIFY(!progressDialog()->isVisible());
    QCOMPARE(framesBeforeMarker(), QList<QByteArray>{});
}

void TestUpgrade::withoutConnection()
{
    const QString path = writeFile(firmware(1537));
    QElapsedTimer t;
    t.start();
    m_dialog->upgradeFromFile(path);
    // Nothing to wait for: there is no channel an acknowledgement could come on.
    QVERIFY(t.elapsed() < FirmwareUpgrade::ackTimeoutMs);
    QCOMPARE(m_warnings, QList<Warning>{noAcknowledgement});
    QVERIFY(!progressDialog()->isVisible());
    QCOMPARE(m_sonar->commands().received().size(), 0);
}

// Answers to earlier frames are still on their way when the upgrade starts, and both
// background readers listen throughout: the acknowledgements reach the upgrade alone, and the
// scan-notice reader still hears its notices afterwards.
void TestUpgrade::strayAnswersAndOtherReaders()
{
    const QByteArray file = firmware(5 * 768);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    CmdDialog *dialog = m_dialog;
    sdkSocketThread noticeReader(&dialog);
    QList<bool> notices;
    connect(
        &noticeReader, &sdkSocketThread::sigEndOrStart, this,
        [&notices](bool v) { notices.append(v); }, Qt::QueuedConnection);
    noticeReader.start();
    // Both answers come a little late, when the upgrade has begun.
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Acknowledgement,
                                 SimSonarCommandServer::Fault::Late, 20);
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 SimSonarCommandServer::Fault::Late, 20);
    m_dialog->sendCmd(QString::fromUtf8("0x10接0xff")); // answered "OK\n\0", read by nobody
    m_dialog->sendCmd(QStringLiteral("0x4E"));

    m_dialog->upgradeFromFile(path);

    QCOMPARE(m_warnings.first(), upgradeCompleted);
    QCOMPARE(m_sonar->commands().upgrade().bytes, file);
    QCOMPARE(notices, QList<bool>{});
    QVERIFY(m_sonar->sendEndOfScan());
    QTRY_COMPARE_WITH_TIMEOUT(notices, QList<bool>{false}, 3000);
    noticeReader.stop();
}

void TestUpgrade::reconnectedDuringTheUpgrade_data()
{
    QTest::addColumn<bool>("disconnectFirst");
    QTest::addColumn<bool>("beforeFirstPacket");
    QTest::addColumn<QStringList>("told");
    const QString connectedAgain = QString::fromUtf8("连接成功：127.0.0.1");
    const QStringList droppedThenConnected{QString::fromUtf8("断开连接"), connectedAgain};
    QTest::newRow("dropped, then connected") << true << false << droppedThenConnected;
    QTest::newRow("connected anew in place of the old")
        << false << false << QStringList{connectedAgain};
    QTest::newRow("dropped, then connected, while stale answers drain")
        << true << true << droppedThenConnected;
    QTest::newRow("connected anew while stale answers drain")
        << false << true << QStringList{connectedAgain};
}

// While the upgrade waits, a queued call connects anew, after dropping the channel (as the
// device search does when a sonar it was asked for answers) or straight away: once the first
// packet has been acknowledged, or before the first packet, while the upgrade drains answers
// to earlier frames. The upgrade ends without its acknowledgement and sends nothing more:
// the new connection receives no upgrade byte. The new connection stays: only the channel
// the upgrade ran on may be dropped.
void TestUpgrade::reconnectedDuringTheUpgrade()
{
    QFETCH(bool, disconnectFirst);
    QFETCH(bool, beforeFirstPacket);
    QFETCH(QStringList, told);
    m_sonar->commands().setUpgradeFault(UpgradeFault::Withhold, 2);
    const QString path = writeFile(firmware(1537));
    QVERIFY(connectDialog());
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    QSignalSpy lost(m_dialog, &CmdDialog::sigConnectionLost);
    const auto reconnect = [this, disconnectFirst] {
        if (disconnectFirst)
            m_dialog->disconnected();
        m_dialog->tryConnect("127.0.0.1", "127.0.0.1");
    };
    if (beforeFirstPacket)
        QTimer::singleShot(0, this, reconnect); // queued: the upgrade's first wait runs it
    else
        onceUnderway(reconnect);

    m_dialog->upgradeFromFile(path);

    QCOMPARE(m_warnings, QList<Warning>{noAcknowledgement});
    QTRY_COMPARE_WITH_TIMEOUT(m_sonar->commands().connectionCount(), 2, 5000);
    const auto packets = upgradePackets(*m_sonar);
    for (const auto &p : packets)
        QCOMPARE(p.connection, 1);
    if (beforeFirstPacket)
        QCOMPARE(packets.size(), 0);
    QStringList got;
    for (const QList<QVariant> &m : messages)
        got.append(m.at(0).toString());
    QCOMPARE(got, told);
    QCOMPARE(lost.size(), 0);
    QVERIFY(m_dialog->connectOrNot());
    QVERIFY(m_dialog->currentSocket() != invalidSocket);
    // The new connection works: a command sent on it arrives.
    m_sonar->commands().clearReceived();
    m_dialog->sendCmd(QString::fromUtf8("0x05接0x01"));
    QVERIFY(m_sonar->commands().waitForFrames(1, 5000));
    QCOMPARE(m_sonar->commands().received().first().frame, QByteArray::fromHex("434D440501"));
}

// A typed command and a register write that reach the channel from the event loop while the
// upgrade waits are sent once it has ended, as they would be if the upgrade held the GUI
// thread: nothing lands between two upgrade packets, and the register write's exchange
// neither takes an upgrade acknowledgement for its answer nor leaves the upgrade without its
// own.
void TestUpgrade::commandsWaitForTheUpgrade()
{
    const QByteArray file = firmware(1537);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    QSignalSpy messages(m_dialog, &CmdDialog::sig_cmdMsg);
    onceUnderway([this] {
        m_dialog->sendCmd(QString::fromUtf8("0x05接0x01"));
        m_dialog->fWriteFpga(QStringLiteral("0x10"), QStringLiteral("0x0102"));
    });

    m_dialog->upgradeFromFile(path);

    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    QCOMPARE(m_sonar->commands().upgrade().bytes, file);
    const QList<QByteArray> frames = framesBeforeMarker();
    QCOMPARE(frames.size(), 5);
    for (int i = 0; i < 3; ++i)
        QVERIFY(frames.at(i).startsWith(QByteArray("CMD\xA5", 4)));
    QCOMPARE(frames.at(3), QByteArray::fromHex("434D440501"));
    QCOMPARE(frames.at(4), QByteArray::fromHex("434D44FE100000000102"));
    QCOMPARE(m_sonar->commands().registerValue(0x10), quint32(0x0102));
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().at(0).toString(), QString::fromUtf8("写fpga：0x10"));
}

// A version query whose time-out falls into the upgrade tells the operator once the upgrade
// has ended: a message box in the middle would hold the upgrade until it is confirmed.
void TestUpgrade::versionTimeoutWaitsForTheUpgrade()
{
    m_dialog->setVersionTimeout(50);
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::Version,
                                 SimSonarCommandServer::Fault::NoAnswer);
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::UpgradeAck,
                                 SimSonarCommandServer::Fault::Late, 200);
    const QString path = writeFile(firmware(1537));
    QVERIFY(connectDialog());
    m_dialog->sendCmd(QStringLiteral("0x4E"));

    m_dialog->upgradeFromFile(path);

    const Warning timedOut{QString::fromUtf8("版本信息"),
                           QString::fromUtf8("查询版本号超时，请重试")};
    QCOMPARE(m_warnings, (QList<Warning>{upgradeCompleted, timedOut}));
}

// The upgrade waits on the GUI thread, but the window goes on painting and timers go on
// firing meanwhile.
void TestUpgrade::windowKeepsPainting()
{
    struct Canvas : QWidget
    {
        bool m_upgrading = false;
        int m_paintsDuring = 0;
        void paintEvent(QPaintEvent *) override { m_paintsDuring += m_upgrading ? 1 : 0; }
    } canvas;
    canvas.resize(100, 100);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    int progressSeen = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        canvas.update();
        progressSeen += canvas.m_upgrading && progressDialog()->isVisible() ? 1 : 0;
    });
    ticker.start(10);
    m_sonar->commands().setFault(SimSonarCommandServer::Answer::UpgradeAck,
                                 SimSonarCommandServer::Fault::Late, 300);
    const QString path = writeFile(firmware(1537));
    QVERIFY(connectDialog());

    canvas.m_upgrading = true;
    m_dialog->upgradeFromFile(path);
    canvas.m_upgrading = false;

    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    QVERIFY2(canvas.m_paintsDuring > 1, qPrintable(QString::number(canvas.m_paintsDuring)));
    QVERIFY2(progressSeen > 1, qPrintable(QString::number(progressSeen)));
}

void TestUpgrade::chooser_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("cancelled") << false;
    QTest::newRow("file chosen") << true;
}

// updateApp asks for the file with its caption, starting directory and filter, while the
// progress dialog already shows; a cancelled choice sends nothing and says nothing.
void TestUpgrade::chooser()
{
    QFETCH(bool, choose);
    const QByteArray file = firmware(768);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    QString title;
    QStringList filters;
    QString directory;
    bool progressShown = false;
    QTimer answer;
    connect(&answer, &QTimer::timeout, this, [&] {
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            auto *chooser = qobject_cast<QFileDialog *>(w);
            if (!chooser || !chooser->isVisible())
                continue;
            answer.stop();
            title = chooser->windowTitle();
            filters = chooser->nameFilters();
            directory = chooser->directory().absolutePath();
            progressShown = progressDialog()->isVisible();
            if (choose) {
                // Typed in, as the operator may: the listing is filled asynchronously.
                chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
                static_cast<QDialog *>(chooser)->accept();
            } else {
                chooser->reject();
            }
        }
    });
    answer.start(20);

    m_dialog->updateApp();

    QCOMPARE(title, QStringLiteral("choose"));
    QCOMPARE(filters, QStringList{"sonarInfo file(*.kx6204up)"});
    QCOMPARE(directory, QDir::currentPath());
    QVERIFY(progressShown);
    QVERIFY(!progressDialog()->isVisible());
    if (choose) {
        QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
        QCOMPARE(m_sonar->commands().upgrade().bytes, file);
    } else {
        QCOMPARE(m_warnings, QList<Warning>{});
        QCOMPARE(framesBeforeMarker(), QList<QByteArray>{});
    }
}

void TestUpgrade::chooserAnsweredByThePrompt_data()
{
    QTest::addColumn<bool>("choose");
    QTest::newRow("none chosen") << false;
    QTest::newRow("file chosen") << true;
}

// The file is asked of the channel's prompt, with the caption, starting directory and filter of
// the program's own dialog, while the progress window shows; a test answers it like any box.
void TestUpgrade::chooserAnsweredByThePrompt()
{
    QFETCH(bool, choose);
    const QByteArray file = firmware(768);
    const QString path = writeFile(file);
    QVERIFY(connectDialog());
    QStringList asked;
    bool progressShown = false;
    OperatorPrompt prompt = silentPrompt();
    prompt.warn = [this](const QString &title, const QString &text) {
        m_warnings.append(Warning{title, text});
    };
    prompt.openFile = [&](const QString &title, const QString &directory, const QString &filter) {
        asked << title << directory << filter;
        progressShown = progressDialog()->isVisible();
        return choose ? path : QString();
    };
    m_dialog->setPrompt(prompt);

    m_dialog->updateApp();

    QCOMPARE(asked, (QStringList{"choose", ".", "sonarInfo file(*.kx6204up)"}));
    QVERIFY(progressShown);
    QVERIFY(!progressDialog()->isVisible());
    if (choose) {
        QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
        QCOMPARE(m_sonar->commands().upgrade().bytes, file);
    } else {
        QCOMPARE(m_warnings, QList<Warning>{});
        QCOMPARE(framesBeforeMarker(), QList<QByteArray>{});
    }
}

void TestUpgrade::showProgress_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<int>("bar");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<double>("kept"); // the value field afterwards
    QTest::addColumn<int>("result");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const int none = -1;
    QTest::newRow("42.9 truncated") << 42.9 << true << 42 << true << 42.9 << none;
    QTest::newRow("99.99 still short") << 99.99 << true << 99 << true << 99.99 << none;
    QTest::newRow("100 accepts") << 100.0 << true << 100 << false << 100.0
                                 << int(QDialog::Accepted);
    QTest::newRow("above 100 accepts")
        << 250.0 << true << 100 << false << 250.0 << int(QDialog::Accepted);
    QTest::newRow("not a number accepts")
        << nan << true << 100 << false << nan << int(QDialog::Accepted);
    QTest::newRow("far below the range") << -1e300 << true << 10 << true << -1e300 << none;
    QTest::newRow("stopped") << 42.9 << false << 0 << false << 0.0 << int(QDialog::Rejected);
}

void TestUpgrade::showProgress()
{
    QFETCH(double, value);
    QFETCH(bool, goesOn);
    QFETCH(int, bar);
    QFETCH(bool, shown);
    QFETCH(double, kept);
    QFETCH(int, result);
    ProgressDialog *progress = progressDialog();
    QVERIFY(progress);
    QCOMPARE(progress->windowTitle(), QStringLiteral("Progress"));
    QCOMPARE(progress->size(), QSize(300, 80));
    m_dialog->initProgress();
    QVERIFY(progress->isVisible());
    // A replay's progress leaves the window to the operator.
    QVERIFY(!progress->isModal());
    QCOMPARE(progress->barValue(), 0);
    m_dialog->showProgress(10.5, true);

    m_dialog->showProgress(value, goesOn);

    QCOMPARE(progress->barValue(), bar);
    QCOMPARE(progress->isVisible(), shown);
    if (std::isnan(kept))
        QVERIFY(std::isnan(progress->value()));
    else
        QCOMPARE(progress->value(), kept);
    if (result >= 0)
        QCOMPARE(progress->result(), result);
    m_dialog->showProgress(0, false);
}

// The standalone sonar takes an upgrade as the tests' one does, reports what it received and
// misbehaves where it was told to.
void TestUpgrade::toolTakesUpgrade()
{
    const QString commandPort = freeLoopbackPort(BsdSocket::tcp());
    QProcess tool;
    tool.start(QStringLiteral(KORVESSA_SONAR_SIM),
               {"--serve", "127.0.0.1", "--command-port", commandPort, "--discovery-port",
                freeLoopbackPort(BsdSocket::udp()), "--upgrade-fault", "withhold:2"});
    QVERIFY(tool.waitForReadyRead(5000));
    QVERIFY(tool.readAllStandardOutput().startsWith("serving at 127.0.0.1"));
    m_dialog->setDevicePort(quint16(commandPort.toUInt()));
    QVERIFY(m_dialog->tryConnect("127.0.0.1", "127.0.0.1"));

    const QByteArray file = firmware(768);
    m_dialog->upgradeFromFile(writeFile(file));
    QCOMPARE(m_warnings, QList<Warning>{upgradeCompleted});
    QTRY_VERIFY_WITH_TIMEOUT(tool.canReadLine(), 5000);
    QCOMPARE(tool.readAllStandardOutput(),
             "upgrade: 768 bytes in 1 packets, sha256 "
                 + QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex() + "\n");

    // The second acknowledgement is withheld: no third packet, no whole file to report.
    m_dialog->upgradeFromFile(writeFile(firmware(1537)));
    QCOMPARE(m_warnings.last(), noAcknowledgement);
    tool.terminate();
    QVERIFY(tool.waitForFinished(5000));
    QCOMPARE(tool.exitCode(), 0);
    QCOMPARE(tool.readAllStandardOutput(), QByteArray());
}

QTEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
