// The core object connected to the standalone sonar in a network namespace of its own, behind
// a veth pair whose sonar end is taken down or that lets nothing through: for a while (a switch
// that restarts, a cable pulled between two switches) or for good; or that loses much and
// still works. The sonar runs on throughout.
#include "app/InformationCenter.h"
#include "app/MainWindow.h"
#include "netClass/BsdSocket.h"
#include "netClass/CmdDialog.h"
#include "netClass/CmdFrames.h"
#include "netClass/CmdSocket.h"
#include "processClass/RecordingFile.h"
#include "support/CoreFrontEnd.h"
#include "support/FarSonar.h"
#include "support/NetworkIsolation.h"
#include "support/SignalText.h"
#include "support/SilentPrompt.h"
#include "support/SimRecording.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

class TestLinkOutage : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CoreFrontEnd> m_front;
    std::unique_ptr<MainWindow> m_core;
    std::unique_ptr<FarSonar> m_far;

    InformationCenter *hub() const { return m_front->m_hub; }

    static QString notAnswering() { return CmdDialog::tr("声呐无响应"); }
    static QString restored() { return CmdDialog::tr("与声呐的连接已恢复"); }
    static QString lost() { return MainWindow::tr("与声呐的连接已丢失"); }

    // A pair and a subnet of their own for every sonar: the namespace of the last one, and
    // with it that pair, may take a while to go.
    bool startFarSonar()
    {
        static int round = 0;
        ++round;
        m_far = std::make_unique<FarSonar>(
            QStringLiteral(KORVESSA_SONAR_SIM), QStringLiteral("kvo%1").arg(round),
            QStringLiteral("10.9.%1.").arg(40 + round), QStringLiteral("far-%1").arg(round));
        m_far->reportCommands();
        return m_far->start();
    }

    // The core object, connected to the far sonar; the front end's reactions that matter here
    // as main.qml has them: a scan end releases the start button, a connection that goes ends
    // the recording. It returns once the sonar has taken the commands a connection begins
    // with, so that none of them is still unacknowledged when a case cuts the link.
    bool connected()
    {
        m_front = std::make_unique<CoreFrontEnd>();
        m_core = std::make_unique<MainWindow>(&m_front->m_root);
        m_core->setPrompt(silentPrompt());
        InformationCenter *h = hub();
        connect(h, &InformationCenter::sigScanEnd, h, [h] {
            if (h->isStart()) {
                h->setIsStart(false);
                emit h->sigStartStatusChanged(false);
            }
        });
        connect(h, &InformationCenter::connectOKChanged, h, [h] {
            if (!h->connectOK() && h->m_fileStatus() == InformationCenter::FileStatus::Saving)
                emit h->sigStopSaveFile();
        });
        return m_front->connectThroughSearch(m_far->sonarAddress(), 30000) && tookAutoPower(1);
    }

    // Waits until the last command the sonar took is the automatic power command that ends a
    // connection's opening, on the given connection (1 for the sonar's first).
    bool tookAutoPower(int connection)
    {
        const QByteArray autoPower = QByteArray::fromHex("434D4410FF");
        return QTest::qWaitFor(
            [&] {
                const QList<FarSonar::Command> taken = m_far->commands();
                return !taken.isEmpty() && taken.last().frame == autoPower
                       && taken.last().connection == connection;
            },
            10000);
    }

    // The start button, and the stream of the scan reaching the hub.
    bool scanning()
    {
        hub()->setStr_cmd(QStringLiteral("0x06接0x01"));
        hub()->setIsStart(true);
        emit hub()->sigStartStatusChanged(true);
        return QTest::qWaitFor([this] { return hub()->frameSerialNum() >= 5; }, 30000);
    }

    // Waits for the stream to bring a frame beyond the given serial number.
    bool framesBeyond(quint32 serial, int timeoutMs = 30000)
    {
        return QTest::qWaitFor([&] { return hub()->frameSerialNum() > serial; }, timeoutMs);
    }

private slots:
    void initTestCase()
    {
        if (!inOwnNetworkNamespace())
            QSKIP("makes veth pairs and searches: run only in a network namespace of its own");
    }

    void cleanup()
    {
        m_core.reset();
        m_front.reset();
        m_far.reset();
    }

    // The link down for about 20 s while a scan runs and a recording is made: the operator is
    // told within 10 s that the sonar does not answer, and once more when it does again; the
    // connection, the scan and the recording stay all along; a command typed afterwards
    // reaches the sonar on the same connection, and the recording holds the frames from
    // before the outage and those after it, in one part.
    void outageDuringScanAndRecording()
    {
        QVERIFY(startFarSonar());
        QVERIFY(connected());
        QVERIFY(scanning());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("outage.DB"));
        emit hub()->sigSaveFile(QUrl::fromLocalFile(path).toString());
        QCOMPARE(hub()->m_fileStatus(), InformationCenter::FileStatus::Saving);
        QVERIFY(framesBeyond(hub()->frameSerialNum() + 10));

        QSignalSpy channelTips(m_front->m_cmd, &CmdDialog::sig_cmdMsg);
        QSignalSpy hubTips(hub(), &InformationCenter::sigTipsCMD);
        QSignalSpy statusChanged(hub(), &InformationCenter::connectStatusChanged);
        QSignalSpy scanEnded(hub(), &InformationCenter::sigScanEnd);
        const TYPE_SOCKET socket = m_front->m_cmd->currentSocket();

        const quint32 beforeCut = hub()->frameSerialNum();
        QVERIFY(m_far->setSonarLink(false));
        QElapsedTimer outage;
        outage.start();
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, notAnswering()), 1, 30000);
        QVERIFY2(outage.elapsed() <= 10000, qPrintable(QString::number(outage.elapsed())));
        // The outage itself: the link stays down this long whatever happens meanwhile.
        QTest::qWait(int(qMax<qint64>(0, 20000 - outage.elapsed())));
        const quint32 duringOutage = hub()->frameSerialNum();
        QVERIFY(m_far->setSonarLink(true));

        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, restored()), 1, 30000);
        QVERIFY(framesBeyond(duringOutage + 10));
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(channelTips, QString::fromUtf8("断开连接")), 0);
        QCOMPARE(timesSaid(hubTips, lost()), 0);
        QCOMPARE(statusChanged.size(), 0);
        QCOMPARE(scanEnded.size(), 0);
        QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
        QVERIFY(hub()->connectOK());
        QVERIFY(hub()->isStart());
        QCOMPARE(hub()->m_fileStatus(), InformationCenter::FileStatus::Saving);
        QCOMPARE(m_front->m_cmd->currentSocket(), socket);

        const QByteArray typed = QByteArray::fromHex("434D440502");
        hub()->setStr_cmd(QStringLiteral("0x05接0x02"));
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_far->commands().isEmpty() && m_far->commands().last().frame == typed, 10000);
        for (const FarSonar::Command &c : m_far->commands())
            QCOMPARE(c.connection, 1);
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(channelTips, restored()), 1);

        const quint32 afterOutage = hub()->frameSerialNum();
        QVERIFY(framesBeyond(afterOutage + 5));
        emit hub()->sigStopSaveFile();
        QTRY_COMPARE_WITH_TIMEOUT(hub()->m_fileStatus(), InformationCenter::FileStatus::None,
                                  10000);
        QCOMPARE(timesSaid(hubTips, QString::fromUtf8("保存数据完成")), 1);

        // One part, in the order the frames came, from before the cut and from after the link
        // came back. Nothing came while the link was down; the sonar streamed on meanwhile (20
        // frames a second), so the frames after it carry numbers well beyond those before.
        QVERIFY(!QFile::exists(RecordingFile::partPath(path, 1)));
        const std::vector<SimSonar::RecordView> records = SimSonar::readRecords(path);
        QVERIFY(!records.empty());
        QMap<quint32, int> packets;
        quint32 last = 0;
        for (const SimSonar::RecordView &r : records) {
            QVERIFY(r.frameSerial >= last);
            last = r.frameSerial;
            ++packets[r.frameSerial];
        }
        QVERIFY(packets.firstKey() <= beforeCut);
        QVERIFY(packets.lastKey() >= afterOutage);
        auto gapEnd = std::next(packets.cbegin());
        for (auto it = gapEnd; it != packets.cend(); ++it) {
            if (it.key() - std::prev(it).key() > gapEnd.key() - std::prev(gapEnd).key())
                gapEnd = it;
        }
        QVERIFY2(gapEnd.key() - std::prev(gapEnd).key() > 200,
                 qPrintable(QString("%1 to %2").arg(std::prev(gapEnd).key()).arg(gapEnd.key())));
        // Whole frames, but for the first (the recording began in the middle of one) and the
        // two the outage cut into.
        const int perFrame = int(records.front().packNumPerFrame);
        for (auto it = std::next(packets.cbegin()); it != packets.cend(); ++it) {
            if (it != gapEnd && std::next(it) != gapEnd)
                QCOMPARE(it.value(), perFrame);
        }
    }

    // The operator disconnects while the sonar does not answer, the link comes back and the
    // operator connects again: the channel given up says nothing more (no tip that the sonar
    // answers again), and the new one starts as answering, without a tip either.
    void operatorLeavesWhileNotAnswering()
    {
        QVERIFY(startFarSonar());
        QVERIFY(connected());
        QSignalSpy channelTips(m_front->m_cmd, &CmdDialog::sig_cmdMsg);
        QSignalSpy hubTips(hub(), &InformationCenter::sigTipsCMD);
        QVERIFY(m_far->setSonarLink(false));
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, notAnswering()), 1, 30000);

        // What the front end does when the operator disconnects.
        hub()->setConnectOK(false);
        m_front->m_cmd->disconnected();
        emit hub()->sigStartStatusChanged(false);
        QVERIFY(m_far->setSonarLink(true));
        QVERIFY(m_front->connectThroughSearch(m_far->sonarAddress(), 30000));
        QVERIFY(tookAutoPower(2));
        // Long enough for either watch to have looked more than once.
        QTest::qWait(3 * CmdDialog::linkWatchMs);
        QCOMPARE(timesSaid(channelTips, restored()), 0);
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(hubTips, lost()), 0);
        QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
    }

    // Nothing passes between the two ends for up to a minute (the sonar's link down, or a
    // cable pulled between two switches while both keep their links), and a command typed in
    // the outage stays unacknowledged all along. Once the way is open again, it reaches the
    // sonar within a few seconds, on the same connection; the operator has been told once that
    // the sonar does not answer and once that it does again, and the connection stays past the
    // time when a sonar silent since that command would be given up.
    void commandTypedInAnOutage_data()
    {
        QTest::addColumn<bool>("linkDown");
        QTest::addColumn<int>("typedAtMs");
        QTest::addColumn<int>("outageMs");
        QTest::newRow("typed 2 s into 60 s, nothing passes") << false << 2000 << 60000;
        QTest::newRow("typed 10 s into 50 s, link down") << true << 10000 << 50000;
    }
    void commandTypedInAnOutage()
    {
        if (!BsdSocket::tcp().setMaxResendInterval(CmdSocket::maxResendIntervalMs))
            QSKIP(
                "this kernel doubles the wait between resends up to two minutes (no TCP_RTO_MAX_MS "
                "before Linux 6.15): a frame sent early in a long outage may then be resent only "
                "after the connection has been given up");
        QFETCH(bool, linkDown);
        QFETCH(int, typedAtMs);
        QFETCH(int, outageMs);
        QVERIFY(startFarSonar());
        QVERIFY(connected());
        QVERIFY(scanning());
        QSignalSpy channelTips(m_front->m_cmd, &CmdDialog::sig_cmdMsg);
        QSignalSpy hubTips(hub(), &InformationCenter::sigTipsCMD);
        QSignalSpy statusChanged(hub(), &InformationCenter::connectStatusChanged);
        const int before = int(m_far->commands().size());

        QVERIFY(linkDown ? m_far->setSonarLink(false) : m_far->setPassing(false));
        QElapsedTimer outage;
        outage.start();
        QTest::qWait(int(qMax<qint64>(0, typedAtMs - outage.elapsed())));
        const QByteArray typed = QByteArray::fromHex("434D440503");
        hub()->setStr_cmd(QStringLiteral("0x05接0x03"));
        QTest::qWait(int(qMax<qint64>(0, outageMs - outage.elapsed())));
        QCOMPARE(int(m_far->commands().size()), before);
        QVERIFY(linkDown ? m_far->setSonarLink(true) : m_far->setPassing(true));
        QElapsedTimer back;
        back.start();
        QTRY_VERIFY_WITH_TIMEOUT(m_far->commands().size() > before, 30000);
        qInfo() << "the command typed during the outage arrived" << back.elapsed() << "ms after it";
        QCOMPARE(m_far->commands().last().frame, typed);
        QCOMPARE(m_far->commands().last().connection, 1);
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, restored()), 1, 30000);
        // Past the command's time plus the time a silent sonar is given.
        QTest::qWait(
            int(qMax<qint64>(0, typedAtMs + CmdSocket::giveUpMs + 3000 - outage.elapsed())));
        QCOMPARE(statusChanged.size(), 0);
        QCOMPARE(timesSaid(hubTips, lost()), 0);
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(channelTips, restored()), 1);
        QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
        QVERIFY(hub()->isStart());
    }

    // A sonar cut off for good (a power cut, as the program sees it): the operator is told
    // within 10 s that it does not answer; the connection is given up within 75 s of the cut,
    // as any lost one (status None, the scan over, the loss told once), and the sonar is never
    // said to be back. A command typed meanwhile (the operator's reaction to the tip) does not
    // put that off.
    void cutOffForGood_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::addColumn<bool>("linkDown");
        QTest::addColumn<int>("typedAtMs"); // -1: nothing typed
        QTest::newRow("idle") << false << true << -1;
        QTest::newRow("scanning") << true << true << -1;
        QTest::newRow("command typed 10 s in, link down") << true << true << 10000;
        QTest::newRow("command typed 40 s in, nothing passes") << false << false << 40000;
    }
    void cutOffForGood()
    {
        QFETCH(bool, scan);
        QFETCH(bool, linkDown);
        QFETCH(int, typedAtMs);
        QVERIFY(startFarSonar());
        QVERIFY(connected());
        if (scan)
            QVERIFY(scanning());
        QSignalSpy channelTips(m_front->m_cmd, &CmdDialog::sig_cmdMsg);
        QSignalSpy hubTips(hub(), &InformationCenter::sigTipsCMD);

        QVERIFY(linkDown ? m_far->setSonarLink(false) : m_far->setPassing(false));
        QElapsedTimer outage;
        outage.start();
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, notAnswering()), 1, 30000);
        QVERIFY2(outage.elapsed() <= 10000, qPrintable(QString::number(outage.elapsed())));
        if (typedAtMs >= 0) {
            QTest::qWait(int(qMax<qint64>(0, typedAtMs - outage.elapsed())));
            QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
            hub()->setStr_cmd(QStringLiteral("0x05接0x03"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(hub()->m_connectStatus(), InformationCenter::ConnectStatus::None,
                                  180000);
        QVERIFY2(outage.elapsed() <= 75000, qPrintable(QString::number(outage.elapsed())));
        QVERIFY(!hub()->connectOK());
        QVERIFY(!hub()->isStart());
        QCOMPARE(timesSaid(hubTips, lost()), 1);
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(channelTips, restored()), 0);
    }

    // A link that loses much, both ways, while the sonar answers: for a minute the operator is
    // never told that it does not answer, and the connection and the scan stay. Then the link
    // goes down for real (the loss still on): the tip comes within 10 s, and once the link is
    // back, the sonar is said to answer again.
    void lossyLinkThatWorks_data()
    {
        QTest::addColumn<bool>("scan");
        QTest::newRow("idle") << false;
        QTest::newRow("scanning") << true;
    }
    void lossyLinkThatWorks()
    {
        QFETCH(bool, scan);
        QVERIFY(startFarSonar());
        QVERIFY(connected());
        if (scan)
            QVERIFY(scanning());
        QSignalSpy channelTips(m_front->m_cmd, &CmdDialog::sig_cmdMsg);
        QSignalSpy hubTips(hub(), &InformationCenter::sigTipsCMD);
        QSignalSpy statusChanged(hub(), &InformationCenter::connectStatusChanged);
        const TYPE_SOCKET socket = m_front->m_cmd->currentSocket();

        QVERIFY(m_far->setLoss(30));
        // The lossy minute itself.
        QTest::qWait(60000);
        QVERIFY2(timesSaid(channelTips, notAnswering()) == 0,
                 qPrintable(QStringLiteral("%1 times not answering, %2 times restored")
                                .arg(timesSaid(channelTips, notAnswering()))
                                .arg(timesSaid(channelTips, restored()))));
        QCOMPARE(timesSaid(channelTips, restored()), 0);
        QCOMPARE(timesSaid(hubTips, lost()), 0);
        QCOMPARE(statusChanged.size(), 0);
        QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
        QCOMPARE(m_front->m_cmd->currentSocket(), socket);
        QCOMPARE(hub()->isStart(), scan);

        QVERIFY(m_far->setSonarLink(false));
        QElapsedTimer outage;
        outage.start();
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, notAnswering()), 1, 30000);
        QVERIFY2(outage.elapsed() <= 10000, qPrintable(QString::number(outage.elapsed())));
        QVERIFY(m_far->setSonarLink(true));
        QTRY_COMPARE_WITH_TIMEOUT(timesSaid(channelTips, restored()), 1, 30000);
        QCOMPARE(timesSaid(channelTips, notAnswering()), 1);
        QCOMPARE(timesSaid(hubTips, lost()), 0);
        QCOMPARE(hub()->m_connectStatus(), InformationCenter::ConnectStatus::Connected);
    }
};

QTEST_MAIN(TestLinkOutage)
#include "tst_linkoutage.moc"
