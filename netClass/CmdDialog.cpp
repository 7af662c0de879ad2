#include "CmdDialog.h"

#include "CmdFrames.h"
#include "ResponsiveWait.h"
#include "TcpReceiver.h"

#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

CmdDialog::CmdDialog(QObject *parent)
    : QObject(parent), m_socket(new CmdSocket("127.0.0.1", defaultDevicePort)),
      m_versionReader(new TcpReceiver)
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
    m_presenter = [](const QString &title, const QString &text) {
        QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    };
}

CmdDialog::~CmdDialog()
{
    disconnected();
    qDebug() << "销毁tcp网络";
    delete m_socket;
    m_handle = invalidSocket;
    delete m_versionReader;
}

void CmdDialog::setWarningPresenter(WarningPresenter presenter)
{
    m_presenter = std::move(presenter);
}

void CmdDialog::warn(const QString &title, const QString &text)
{
    if (m_presenter)
        m_presenter(title, text);
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
    if (!m_upgrading)
        return;
    // The upgrade stops at once, before another packet, and no exchange that follows
    // (the stop command of a disconnect) can leave it waiting for an answer routed elsewhere.
    m_socket->endAnswers(m_upgradeInbox);
    m_upgradeInbox->markClosed();
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
    m_watchedChannel = m_channelSerial;
    m_sonarAnswering = true;
    m_linkTimer.start();
}

void CmdDialog::watchLink()
{
    // A tick already due when its channel was released belongs to no channel any more.
    if (m_watchedChannel != m_channelSerial || m_socket->handle() == invalidSocket) {
        m_linkTimer.stop();
        return;
    }
    LinkHealth::TcpState state;
    if (!m_socket->linkState(&state))
        return;
    const LinkHealth::Verdict verdict = LinkHealth::judge(state, CmdSocket::notAnsweringMs);
    if (verdict == LinkHealth::Verdict::Ended)
        return;
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
    if (channel != m_channelSerial || m_socket->handle() == invalidSocket)
        return;
    // An upgrade sees the end itself and reports it; a message box or a disconnect in the
    // middle of it would be out of turn.
    if (deferWhileUpgrading([this, channel] { onChannelEnded(channel); }))
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

bool CmdDialog::deferWhileUpgrading(std::function<void()> work)
{
    // The upgrade's waits keep the window alive, so timers and queued signals run meanwhile.
    // A frame sent now would land between two upgrade packets, an exchange would take the next
    // upgrade acknowledgement for its own answer, and a message box would hold the upgrade
    // until the operator confirms it; so the work runs once the upgrade has ended, as it would
    // if the upgrade held the GUI thread.
    if (!m_upgrading)
        return false;
    m_afterUpgrade.push_back(std::move(work));
    return true;
}

void CmdDialog::sendCmd(QString inCmd)
{
    if (deferWhileUpgrading([this, inCmd] { sendCmd(inCmd); }))
        return;
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
    if (deferWhileUpgrading([this, inIp, inPort] { ipAndPortSetting(inIp, inPort); }))
        return;
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
    if (deferWhileUpgrading([this] { getVersionInfo(); }))
        return;
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
    if (deferWhileUpgrading([this] { onVersionTimeout(); }))
        return;
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
    if (deferWhileUpgrading([this, inAddr, inAddrLength] { fReadFpga(inAddr, inAddrLength); }))
        return;
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
    if (deferWhileUpgrading([this, inAddr, inInfo] { fWriteFpga(inAddr, inInfo); }))
        return;
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

namespace {

enum class FirmwareRead { Ok, CannotOpen, Refused };

// The whole upgrade file, or why not. Only a plain file is opened: opening a pipe would wait
// for a writer on the GUI thread. A file that is empty, too large, or that cannot be read to
// its end (it shrank meanwhile) is refused: what was not read must never go out as firmware.
FirmwareRead readFirmware(const QString &path, QByteArray *image)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return FirmwareRead::CannotOpen;
    const qint64 size = file.size();
    if (size < 1 || size > CmdFrames::maxUpgradeFileBytes)
        return FirmwareRead::Refused;
    image->resize(qsizetype(size));
    if (file.read(image->data(), size) != size) {
        image->clear();
        return FirmwareRead::Refused;
    }
    return FirmwareRead::Ok;
}

using Clock = ResponsiveWait::Clock;
// Answers to earlier frames may still be on their way when an upgrade starts; they end when
// the channel has been quiet this long, and are given at most the longer time.
constexpr std::chrono::milliseconds staleQuiet{100};
constexpr std::chrono::milliseconds staleAtMost{1000};

} // namespace

void CmdDialog::initProgress()
{
    // A replay's progress blocks nothing: the operator may stop the replay with its button or
    // close the main window meanwhile.
    openProgress(Qt::NonModal);
}

void CmdDialog::openProgress(Qt::WindowModality modality)
{
    m_progress.setValue(0.0);
    m_progress.setBarValue(0);
    if (m_progress.windowModality() != modality) {
        // A window takes its modality when it is shown.
        m_progress.hide();
        m_progress.setWindowModality(modality);
    }
    m_progress.show();
}

void CmdDialog::showProgress(double inValue, bool inGoOn)
{
    if (!inGoOn) {
        m_progress.close();
        m_progress.setValue(0.0);
        m_progress.setBarValue(0);
        return;
    }
    setProgress(inValue);
}

void CmdDialog::setProgress(double percent)
{
    m_progress.setValue(percent);
    if (!(percent < 100.0)) { // a value that is not a number counts as done as well
        m_progress.setBarValue(100);
        m_progress.accept();
        return;
    }
    // Truncated towards zero; the bar keeps its value for anything below its range.
    if (percent > -1.0)
        m_progress.setBarValue(int(percent));
}

void CmdDialog::updateApp()
{
    if (m_upgrading)
        return;
    openProgress();
    const QString path =
        QFileDialog::getOpenFileName(nullptr, "choose", ".", "sonarInfo file(*.kx6204up)");
    if (path.isEmpty()) {
        m_progress.close();
        return;
    }
    upgradeFromFile(path);
}

void CmdDialog::upgradeFromFile(const QString &path)
{
    // The waits below handle queued events; nothing they run may start a second upgrade.
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
    openProgress();
    QByteArray image;
    switch (readFirmware(path, &image)) {
    case FirmwareRead::CannotOpen:
        warn("warning!", "open file error!");
        m_progress.close();
        return;
    case FirmwareRead::Refused:
        warn("warning!", "file is error!");
        m_progress.close();
        return;
    case FirmwareRead::Ok:
        break;
    }
    qDebug() << "升级文件大小" << image.size();

    const quint64 channel = m_channelSerial;
    if (!sendFirmware(image)) {
        // A sonar that closed or reset the connection is gone: the channel says so, rather
        // than pretend it still stands. A connection made while the upgrade waited is another
        // one, and stays.
        if (m_upgradeInbox->isClosed() && channel == m_channelSerial)
            connectionLost();
        warn(tr("警告!"), tr("未收到回复消息!"));
        m_progress.close();
        return;
    }
    warn(tr("提示!"), tr("程序下载成功，请重新上电!"));
    m_progress.close();
}

bool CmdDialog::onChannel(quint64 channel) const
{
    return channel == m_channelSerial && m_socket->handle() != invalidSocket
           && !m_upgradeInbox->isClosed();
}

bool CmdDialog::sendFirmware(const QByteArray &image)
{
    const quint64 channel = m_channelSerial;
    m_upgradeInbox->reset();
    if (!m_socket->routeAnswersTo(m_upgradeInbox))
        return false;
    dropStaleAnswers();
    const qint64 size = image.size();
    qint64 sent = 0;
    bool acknowledged = true;
    for (int index = 0; sent < size; ++index) {
        // The waits run events: a channel closed or replaced meanwhile ends the upgrade here,
        // so that no packet reaches another connection.
        if (!onChannel(channel)) {
            acknowledged = false;
            break;
        }
        const QByteArray packet = CmdFrames::upgradePacket(image, index);
        const Clock::time_point sentAt = Clock::now();
        // A packet that does not go out shows as a missing acknowledgement.
        m_socket->sendFrame(packet);
        sent += packet.size() - CmdFrames::upgradeHeaderBytes;
        if (sent < size)
            ResponsiveWait::until(sentAt + m_upgradePacing);
        if (!onChannel(channel) || !waitUpgradeAck()) {
            acknowledged = false;
            break;
        }
        qDebug() << index + 1;
        setProgress(double(sent) / double(size) * 100.0);
    }
    m_socket->endAnswers(m_upgradeInbox);
    return acknowledged;
}

void CmdDialog::dropStaleAnswers()
{
    const Clock::time_point end = Clock::now() + staleAtMost;
    QByteArray message;
    while (ResponsiveWait::take(*m_upgradeInbox, &message, qMin(end, Clock::now() + staleQuiet))
           == CmdInbox::Take::Message)
        qDebug().noquote() << "升级前丢弃的回复：" + CmdFrames::hexDump(message.left(64));
}

bool CmdDialog::waitUpgradeAck()
{
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(upgradeAckTimeoutMs);
    QByteArray gathered;
    for (;;) {
        QByteArray message;
        switch (ResponsiveWait::take(*m_upgradeInbox, &message, deadline)) {
        case CmdInbox::Take::Timeout:
            qDebug() << "超时";
            return false;
        case CmdInbox::Take::Closed:
            qDebug().noquote() << "收到其他回复：" + QString::fromUtf8(gathered);
            return false;
        case CmdInbox::Take::Message:
            break;
        }
        switch (CmdFrames::gatherUpgradeAck(&gathered, message)) {
        case CmdFrames::UpgradeAck::Accepted:
            return true;
        case CmdFrames::UpgradeAck::Incomplete:
            break;
        case CmdFrames::UpgradeAck::Ignored:
            qDebug().noquote() << "升级时丢弃的版本回复：" + CmdFrames::versionTextOf(message);
            break;
        case CmdFrames::UpgradeAck::Rejected:
            qDebug().noquote() << "收到其他回复：" + QString::fromUtf8(gathered.left(64));
            return false;
        }
    }
}
