#include "CmdDialog.h"

#include "CmdFrames.h"
#include "TcpReceiver.h"

#include <QDebug>

CmdDialog::CmdDialog(QObject *parent)
    : QObject(parent), m_socket(new CmdSocket("127.0.0.1", defaultDevicePort)),
      m_versionReader(new TcpReceiver), m_upgrade(&m_socket, &m_channelSerial, &m_progress)
{
    m_versionTimer.setInterval(versionTimeoutMs);
    m_versionTimer.setSingleShot(true);
    connect(&m_versionTimer, &QTimer::timeout, this, &CmdDialog::onVersionTimeout);
    connect(m_versionReader, &TcpReceiver::sigVersionInfo, this, &CmdDialog::onVersionInfo);
    qRegisterMetaType<deviceSettingStatus>("deviceSettingStatus");
    qRegisterMetaType<TYPE_SOCKET>("TYPE_SOCKET");
    connect(this, &CmdDialog::sigSocket, m_versionReader, &TcpReceiver::setSocket);
    connect(m_versionReader, &TcpReceiver::sigStructInfo, this, &CmdDialog::rcvHeadInfo);
    m_linkTimer.setInterval(linkWatchMs);
    connect(&m_linkTimer, &QTimer::timeout, this, &CmdDialog::watchLink);
}

CmdDialog::~CmdDialog()
{
    disconnected();
    qDebug() << "销毁tcp网络";
    delete m_socket;
    m_handle = invalidSocket;
    delete m_versionReader;
}

void CmdDialog::warn(const QString &title, const QString &text)
{
    if (m_prompt.warn)
        m_prompt.warn(title, text);
}

void CmdDialog::replaceSocket(const QString &inSonarIp)
{
    emit sigClosingSocket();
    releaseChannel();
    m_handle = invalidSocket;
    delete m_socket;
    m_socket = new CmdSocket(inSonarIp.toLatin1(), m_devicePort);
    const quint64 channel = m_channelSerial;
    // Seen on the router's thread as well: handed to the GUI thread, where the channel lives.
    m_socket->setOnLost([this, channel] {
        QMetaObject::invokeMethod(
            this, [this, channel] { onChannelEnded(channel); }, Qt::QueuedConnection);
    });
}

void CmdDialog::releaseChannel()
{
    ++m_channelSerial;
    endVersionQuery();
    m_linkTimer.stop();
    if (m_upgrading)
        m_upgrade.channelReleased();
}

bool CmdDialog::tryConnect(QString inSonarIp, QString inHostIp)
{
    replaceSocket(inSonarIp);
    if (m_socket->connectFrom(inHostIp) != CmdSocket::Ok) {
        emit sigFailed();
        emit sig_cmdMsg(tr("连接失败：") + inSonarIp);
        return false;
    }
    connected();
    m_hostAddress = inHostIp;
    emit sig_cmdMsg(tr("连接成功：") + inSonarIp);
    return true;
}

void CmdDialog::connectDirect(QString inIp)
{
    replaceSocket(inIp);
    if (m_socket->connect() != CmdSocket::Ok) {
        emit sigFailed();
        return;
    }
    connected();
}

void CmdDialog::connected()
{
    m_handle = m_socket->handle();
    emit sigSocket(m_socket->handle());
    m_connected = true;
    startLinkWatch();
}

void CmdDialog::startLinkWatch()
{
    m_sonarAnswering = true;
    m_linkTimer.start();
}

void CmdDialog::watchLink()
{
    // Releasing a channel stops the watch, so every tick belongs to the channel in use.
    if (m_socket->handle() == invalidSocket) {
        m_linkTimer.stop();
        return;
    }
    LinkHealth::TcpState state;
    if (!m_socket->linkState(&state))
        return;
    if (LinkHealth::probeDue(state, CmdSocket::linkLimits))
        m_socket->probeNow();
    const LinkHealth::Verdict verdict = LinkHealth::judge(state, CmdSocket::linkLimits);
    if (verdict == LinkHealth::Verdict::Ended)
        return;
    if (verdict == LinkHealth::Verdict::GivenUp) {
        // Ended as the kernel ends a silent connection, so it takes the same way: the router
        // reports the sonar gone, and the channel ends as lost. The ticks until then find it
        // over.
        qDebug() << "声呐长时间无响应，放弃连接";
        m_socket->giveUp();
        return;
    }
    const bool answering = verdict == LinkHealth::Verdict::Answering;
    if (answering == m_sonarAnswering)
        return;
    m_sonarAnswering = answering;
    qDebug() << (answering ? "声呐恢复响应" : "声呐无响应");
    emit sig_cmdMsg(answering ? tr("与声呐的连接已恢复") : tr("声呐无响应"));
}

void CmdDialog::disconnected()
{
    emit sigClosingSocket();
    releaseChannel();
    m_socket->sendShortCmd(6, 0);
    m_handle = invalidSocket;
    m_socket->close();
    m_connected = false;
    emit sig_cmdMsg(tr("断开连接"));
}

void CmdDialog::connectionLost()
{
    disconnected();
    emit sigConnectionLost();
}

void CmdDialog::onChannelEnded(quint64 channel)
{
    // An upgrade sees the end itself and reports it; a message box or a disconnect in the
    // middle of it would be out of turn.
    whenChannelFree(&CmdDialog::channelEnded, channel);
}

void CmdDialog::channelEnded(quint64 channel)
{
    if (channel != m_channelSerial || m_socket->handle() == invalidSocket)
        return;
    qDebug() << "声呐断开了连接";
    connectionLost();
}

bool CmdDialog::connectOrNot()
{
    return m_connected;
}

void CmdDialog::endVersionQuery()
{
    m_versionReader->stop();
    if (!m_versionTimer.isActive())
        return;
    // The query was put to the channel that ends now: neither its answer nor its time-out
    // follows, and the busy overlay goes at once.
    m_versionTimer.stop();
    emit sigCloseForbiddenMask();
}

void CmdDialog::restartVersionReader()
{
    m_versionReader->stop();
    m_versionReader->start();
}

void CmdDialog::sendCmd(QString inCmd)
{
    whenChannelFree(&CmdDialog::sendCmdNow, inCmd);
}

void CmdDialog::sendCmdNow(QString inCmd)
{
    if (m_socket->handle() == invalidSocket)
        return;
    if (inCmd == QLatin1String(" "))
        return;
    const QByteArray frame = CmdFrames::typedCommand(inCmd);
    const bool versionQuery = quint8(frame.at(3)) == CmdFrames::versionCode;
    // The reader listens before the query leaves, so an immediate reply reaches it.
    if (versionQuery)
        restartVersionReader();
    if (m_socket->sendFrame(frame) < 0)
        qDebug() << "命令发送失败";
    if (versionQuery) {
        qDebug() << "查询版本号";
        m_versionTimer.start();
    }
    emit sigClearCmdStr();
}

void CmdDialog::ipAndPortSetting(QString inIp, QString inPort)
{
    whenChannelFree(&CmdDialog::ipAndPortSettingNow, inIp, inPort);
}

void CmdDialog::ipAndPortSettingNow(QString inIp, QString inPort)
{
    const QByteArray frame = CmdFrames::dataDestination(inIp, inPort);
    if (frame.isEmpty()) {
        qDebug() << "数据目的地址无效，未发送：" << inIp;
        return;
    }
    if (m_socket->handle() == invalidSocket)
        return;
    if (m_socket->sendFrame(frame) < 0)
        qDebug() << "命令发送失败";
    qDebug().noquote() << "接收IP：" + inIp + " 端口：" + inPort;
}

void CmdDialog::getVersionInfo()
{
    whenChannelFree(&CmdDialog::getVersionInfoNow);
}

void CmdDialog::getVersionInfoNow()
{
    if (m_socket->handle() == invalidSocket) {
        warn(tr("版本信息"), tr("连接已断开"));
        disconnected();
        emit sigCloseForbiddenMask();
        return;
    }
    restartVersionReader();
    if (m_socket->sendFrame(CmdFrames::versionQuery()) > 0) {
        m_versionTimer.start();
        return;
    }
    m_versionReader->stop();
    warn(tr("版本信息"), tr("查询版本失败，请重试"));
    emit sigCloseForbiddenMask();
}

void CmdDialog::onVersionInfo(const QString &inVersionInfo)
{
    // Only the first reply answers the query. Further ones (a sonar that repeats itself, or a
    // reply queued just before the time-out) would each open another box on top of the last.
    if (!m_versionTimer.isActive())
        return;
    m_versionReader->stop();
    m_versionTimer.stop();
    emit sigCloseForbiddenMask();
    warn(tr("版本信息"), inVersionInfo);
}

void CmdDialog::onVersionTimeout()
{
    whenChannelFree(&CmdDialog::versionTimedOut);
}

void CmdDialog::versionTimedOut()
{
    m_versionReader->stop();
    emit sigCloseForbiddenMask();
    warn(tr("版本信息"), tr("查询版本号超时，请重试"));
}

void CmdDialog::getCurInfo(packageInfo curframeInfo)
{
    m_lastHeader = curframeInfo;
}

void CmdDialog::rcvHeadInfo(deviceSettingStatus inStatus)
{
    m_settings = inStatus;
    const deviceSettingStatus &s = m_settings;
    const QString ip =
        QStringLiteral("%1.%2.%3.%4").arg(s.ip[0]).arg(s.ip[1]).arg(s.ip[2]).arg(s.ip[3]);
    // The record has no field for the sync delay; the sync mode stands in for it.
    emit sigConfigInfo(s.syncMode, s.power, s.period, s.minDis, s.maxDis, s.sigMode, s.tvg,
                       s.dataSource, s.winFunc, float(s.syncMode), s.speed, s.tvgA, s.tvgB, s.tvgC,
                       s.horAngleReso, s.disReso, s.luminance, s.startStatus, ip, s.port,
                       s.phaseAngle, s.phaseMode, s.workMode, true);
}

void CmdDialog::fReadFpga(QString inAddr)
{
    fReadFpga(inAddr, CmdFrames::defaultFpgaReadLength);
}

void CmdDialog::fReadFpga(QString inAddr, uint16_t inAddrLength)
{
    whenChannelFree(&CmdDialog::readFpgaNow, inAddr, inAddrLength);
}

void CmdDialog::readFpgaNow(QString inAddr, uint16_t inAddrLength)
{
    emit sigStopOrStartTcpRecvThread(false);
    // Whatever path the read takes, the scan-notice reader gets its state back.
    struct Resume
    {
        CmdDialog *m_dialog;
        ~Resume() { emit m_dialog->sigStopOrStartTcpRecvThread(true); }
    } resume{this};

    const QString what = QStringLiteral("读fpga");
    QByteArray data;
    const FpgaAnswer got =
        fpgaExchange(what, CmdFrames::fpgaRead(CmdFrames::hexToU16(inAddr), inAddrLength), &data);
    if (got == FpgaAnswer::NotSent)
        return;
    if (got == FpgaAnswer::Data)
        emit sigReadFpgaText(CmdFrames::hexDump(data));
    reportFpga(what, inAddr);
}

void CmdDialog::fWriteFpga(QString inAddr, QString inInfo)
{
    whenChannelFree(&CmdDialog::writeFpgaNow, inAddr, inInfo);
}

void CmdDialog::writeFpgaNow(QString inAddr, QString inInfo)
{
    const QString what = QStringLiteral("写fpga");
    QByteArray data;
    const FpgaAnswer got = fpgaExchange(
        what, CmdFrames::fpgaWrite(CmdFrames::hexToU16(inAddr), CmdFrames::hexToU32(inInfo)),
        &data);
    if (got == FpgaAnswer::NotSent)
        return;
    if (got == FpgaAnswer::Data)
        qDebug().noquote() << "收到的回复：" + CmdFrames::hexDump(data);
    reportFpga(what, inAddr);
}

CmdDialog::FpgaAnswer CmdDialog::fpgaExchange(const QString &what, const QByteArray &frame,
                                              QByteArray *data)
{
    if (m_socket->handle() == invalidSocket) {
        qDebug().noquote() << QStringLiteral("未连接声呐，") + what + QStringLiteral(" 失败");
        return FpgaAnswer::NotSent;
    }
    qDebug().noquote() << what + QStringLiteral(" 指令：") + CmdFrames::hexDump(frame);
    QByteArray reply;
    const CmdSocket::Reply got = m_socket->exchange(frame, &reply);
    if (got == CmdSocket::Reply::SendFailed || got == CmdSocket::Reply::NoSocket) {
        qDebug().noquote() << what + QStringLiteral(" 失败");
        return FpgaAnswer::NotSent;
    }
    if (got != CmdSocket::Reply::Message) {
        qDebug() << "未收到回复ok";
        // Closed or reset instead of an answer: the sonar has left the channel.
        if (got == CmdSocket::Reply::Closed)
            connectionLost();
        return FpgaAnswer::None;
    }
    reply.truncate(CmdSocket::replyBytes);
    if (CmdFrames::isAcknowledgement(reply)) {
        qDebug() << "收到回复ok";
        return FpgaAnswer::Acknowledged;
    }
    *data = reply;
    return FpgaAnswer::Data;
}

void CmdDialog::reportFpga(const QString &what, const QString &inAddr)
{
    const QString message = what + QStringLiteral("：") + inAddr;
    emit sig_cmdMsg(message);
    qDebug().noquote() << message;
}

void CmdDialog::initProgress()
{
    // A replay's progress blocks nothing: the operator may stop the replay with its button or
    // close the main window meanwhile.
    m_progress.start(Qt::NonModal);
}

void CmdDialog::showProgress(double inValue, bool inGoOn)
{
    if (!inGoOn) {
        m_progress.finish();
        return;
    }
    m_progress.setPercent(inValue);
}

void CmdDialog::updateApp()
{
    if (m_upgrading)
        return;
    m_progress.start(Qt::ApplicationModal);
    const QString path = m_prompt.openFile
                             ? m_prompt.openFile("choose", ".", "sonarInfo file(*.kx6204up)")
                             : QString();
    if (path.isEmpty()) {
        m_progress.close();
        return;
    }
    upgradeFromFile(path);
}

void CmdDialog::upgradeFromFile(const QString &path)
{
    // The waits of the upgrade handle queued events; nothing they run may start a second
    // upgrade, and channel work they reach waits for its end (whenChannelFree).
    if (m_upgrading)
        return;
    m_upgrading = true;
    upgrade(path);
    m_upgrading = false;
    std::vector<std::function<void()>> kept;
    kept.swap(m_afterUpgrade);
    for (const auto &work : kept)
        work();
}

void CmdDialog::upgrade(const QString &path)
{
    switch (m_upgrade.run(path)) {
    case FirmwareUpgrade::Outcome::CannotOpen:
        warn("warning!", "open file error!");
        break;
    case FirmwareUpgrade::Outcome::Refused:
        warn("warning!", "file is error!");
        break;
    case FirmwareUpgrade::Outcome::SonarLeft:
        // The channel says the sonar is gone, rather than pretend it still stands.
        connectionLost();
        warn(tr("警告!"), tr("未收到回复消息!"));
        break;
    case FirmwareUpgrade::Outcome::NotAcknowledged:
        warn(tr("警告!"), tr("未收到回复消息!"));
        break;
    case FirmwareUpgrade::Outcome::Done:
        warn(tr("提示!"), tr("程序下载成功，请重新上电!"));
        break;
    }
    m_progress.close();
}
