#pragma once

#include "CmdSocket.h"
#include "DeviceSettingStatus.h"
#include "FirmwareUpgrade.h"
#include "ProgressDialog.h"
#include "app/OperatorPrompt.h"
#include "processClass/PackageInfo.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

class TcpReceiver;

// The command channel to the sonar: connection, typed commands, the data destination,
// register access, the version query, the link watch, and the firmware upgrade, which
// FirmwareUpgrade sends on the channel. Every exchange runs on the GUI thread.
class CmdDialog : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 defaultDevicePort = 5007;
    static constexpr int versionTimeoutMs = 3000;
    // How often a connected channel looks whether the sonar still answers, and asks for a
    // keepalive probe while it is quiet: several times within the half second that a sonar
    // may leave between two answers to probes.
    static constexpr int linkWatchMs = 125;

    explicit CmdDialog(QObject *parent = nullptr);
    ~CmdDialog() override;

    // The current socket handle, InvalidSocket when there is none; safe from any thread.
    TYPE_SOCKET currentSocket() const { return m_handle.load(); }

    // Where the channel shows the operator its boxes and asks for the upgrade file
    // (OperatorPrompt::boxes() unless set otherwise).
    void setPrompt(OperatorPrompt prompt) { m_prompt = std::move(prompt); }
    // The sonar's command port; a real sonar listens on 5007.
    void setDevicePort(quint16 port) { m_devicePort = port; }
    // How long a version query waits, VersionTimeoutMs unless set otherwise; the program
    // keeps that, tests shorten it.
    void setVersionTimeout(int ms) { m_versionTimer.setInterval(ms); }

    QString hostAddress() const { return m_hostAddress; }

    // The firmware upgrade once the file has been chosen: reads it, sends it packet by packet
    // and tells the operator how it ended. updateApp asks for the file and calls this.
    void upgradeFromFile(const QString &path);
    // The pause after every upgrade packet but the last. Tests lengthen it, so that where it
    // applies shows beyond any scheduling delay.
    void setUpgradePacing(std::chrono::milliseconds pacing) { m_upgrade.setPacing(pacing); }

signals:
    void sig_recvSonarPort(QString a_recvSonarPort);
    void sigCloseForbiddenMask();
    void sig_cmdMsg(QString a_cmdMsg);
    void sigOK();
    void sigFailed();
    void sigSendCMDErrno();
    void sigSocket(TYPE_SOCKET inSocket);
    void sigErrCirSet(float limitPeriod);
    void sigConfigInfo(int syncMode, int power, float period, float minDis, float maxDis,
                       int sigMode, int tvg, int dataSource, int winFunc, float syncDelay,
                       float speed, float tvgA, float tvgB, float tvgC, float horAngleReso,
                       float disReso, int luminance, int startStatus, QString ip, int port,
                       float phaseAngle, int phaseMode, int workMode, bool recFlag);
    void sigReadFpgaText(QString fpgaText);
    void sigUpdateProcess(double inProcess);
    void sigStopOrStartTcpRecvThread(bool inStart);
    void sigClearCmdStr();
    // The current socket is about to be closed or replaced; emitted on the GUI thread, before
    // anything of the socket changes, so readers that follow it can end first.
    void sigClosingSocket();
    // The sonar closed or reset the channel without being asked; the channel has been closed
    // here as well (disconnected() has run). Emitted on the GUI thread.
    void sigConnectionLost();

public slots:
    bool tryConnect(QString inSonarIp, QString inHostIp);
    void disconnected();
    void connected();
    bool connectOrNot();
    void sendCmd(QString inCmd);
    void ipAndPortSetting(QString inIp, QString inPort);
    void getVersionInfo();
    void updateApp();
    void getCurInfo(packageInfo curframeInfo);
    void rcvHeadInfo(deviceSettingStatus inStatus);
    void connectDirect(QString inIp);
    void fReadFpga(QString inAddr, uint16_t inAddrLength);
    void fReadFpga(QString inAddr);
    void fWriteFpga(QString inAddr, QString inInfo);
    void initProgress();
    void showProgress(double inValue, bool inGoOn);

private:
    // What came back to a register read or write; NotSent when nothing could be sent.
    enum class FpgaAnswer { NotSent, None, Acknowledged, Data };
    // what is "读fpga" or "写fpga", the word the register logs and messages begin with.
    FpgaAnswer fpgaExchange(const QString &what, const QByteArray &frame, QByteArray *data);
    void reportFpga(const QString &what, const QString &inAddr);
    void onVersionInfo(const QString &inVersionInfo);
    void onVersionTimeout();
    void replaceSocket(const QString &inSonarIp);
    // The current channel ends here (closed or about to be replaced): whatever still follows
    // it, an upgrade or a report that the sonar left, no longer belongs to the channel in use.
    void releaseChannel();
    // The sonar ended the channel: it is closed here too, and whoever keeps the connection
    // state is told.
    void connectionLost();
    // A report, queued from whichever thread saw it, that channel number channel ended
    // without being asked; stale once that channel has been released.
    void onChannelEnded(quint64 channel);
    void channelEnded(quint64 channel);
    void restartVersionReader();
    // A version query still waiting ends with its channel.
    void endVersionQuery();
    // The link watch: while connected, tells the operator once when the sonar stops answering
    // at the TCP level (a link that is down) and once when it answers again; the connection
    // stays. One silent for CmdSocket::giveUpMs it gives up, and that ends as a loss, as one
    // given up by the kernel does.
    void startLinkWatch();
    void watchLink();
    void warn(const QString &title, const QString &text);
    // upgradeFromFile once it has made sure no other upgrade runs: sends, then tells the
    // operator how it ended.
    void upgrade(const QString &path);

    // Every slot that works on the channel or shows a box goes through here. While an upgrade
    // sends, its waits keep the window alive, so timers and queued signals run meanwhile; a
    // frame sent then would land between two upgrade packets, an exchange would take the next
    // acknowledgement for its own answer, and a box would hold the upgrade until the operator
    // confirms it. So the work is kept, in order, for the upgrade's end, as it would wait if
    // the upgrade held the GUI thread; otherwise it runs at once.
    template<typename... Params, typename... Args>
    void whenChannelFree(void (CmdDialog::*work)(Params...), Args... args)
    {
        if (!m_upgrading) {
            (this->*work)(args...);
            return;
        }
        m_afterUpgrade.push_back([this, work, args...] { (this->*work)(args...); });
    }
    void sendCmdNow(QString inCmd);
    void ipAndPortSettingNow(QString inIp, QString inPort);
    void getVersionInfoNow();
    void versionTimedOut();
    void readFpgaNow(QString inAddr, uint16_t inAddrLength);
    void writeFpgaNow(QString inAddr, QString inInfo);

    CmdSocket *m_socket;
    // Counts the channels released: tells one connection from the next, where the handle,
    // which the system hands out again, cannot.
    quint64 m_channelSerial = 0;
    std::atomic<TYPE_SOCKET> m_handle{invalidSocket};
    packageInfo m_lastHeader{};
    TcpReceiver *m_versionReader;
    bool m_connected = false;
    QString m_hostAddress;
    QTimer m_versionTimer;
    deviceSettingStatus m_settings{};
    quint16 m_devicePort = defaultDevicePort;
    OperatorPrompt m_prompt = OperatorPrompt::boxes();
    ProgressDialog m_progress;
    FirmwareUpgrade m_upgrade;
    bool m_upgrading = false;
    std::vector<std::function<void()>> m_afterUpgrade;
    QTimer m_linkTimer;
    bool m_sonarAnswering = true;
};
