#include "app/MainWindow.h"

#include "app/InformationCenter.h"
#include "netClass/CmdDialog.h"
#include "netClass/SearchDev.h"
#include "netClass/sdkSocketThread.h"
#include "processClass/FileRead.h"
#include "processClass/FileSave.h"
#include "processClass/PacketRing.h"
#include "processClass/Processing.h"
#include "processClass/UdpReceiver.h"
#include "showClass/ShowImage.h"
#include "showClass/ShowPoint.h"

#include <QDebug>
#include <QThread>

#include <cerrno>
#include <cstring>

namespace {

constexpr quint16 ringSlots = 50000;

template<typename T>
T *findNamed(QObject *root, const char *name)
{
    return root ? root->findChild<T *>(QLatin1String(name), Qt::FindChildrenRecursively) : nullptr;
}

} // namespace

QStringList MainWindow::missingFrontEndObjects(QObject *root)
{
    QStringList missing;
    if (!findNamed<ShowImage>(root, "c_cppShowImage"))
        missing << QStringLiteral("c_cppShowImage (ShowImage)");
    if (!findNamed<CmdDialog>(root, "c_cppCmdDialog"))
        missing << QStringLiteral("c_cppCmdDialog (CmdDialog)");
    if (!findNamed<InformationCenter>(root, "c_cppInformationCenter"))
        missing << QStringLiteral("c_cppInformationCenter (InformationCenter)");
    if (!findNamed<ShowPoint>(root, "c_cppShowPoint"))
        missing << QStringLiteral("c_cppShowPoint (ShowPoint)");
    return missing;
}

MainWindow::MainWindow(QObject *root, QObject *parent) : QObject(parent)
{
    // The header travels by value through queued connections.
    qRegisterMetaType<packageInfo>("packageInfo");
    init(root);

    InformationCenter *hub = m_informationCenter;
    connect(m_processing, &Processing::sigUpdatePixmap, m_showImage, &ShowImage::setPixmap);
    connect(m_processing, &Processing::sig_packageInfo, this, &MainWindow::onPackageInfo);
    connect(m_fileRead, &FileRead::sigReadingFile, this, &MainWindow::onReadingFile);
    // Direct: the reader thread's own end asks for the stop on that thread, before its replay's
    // thread has finished and so before a next replay clears the request; queued, it could
    // reach that next replay.
    connect(hub, &InformationCenter::sigStopReadFile, this, &MainWindow::onStopReadFile,
            Qt::DirectConnection);
    connect(hub, &InformationCenter::isStartChanged, this, &MainWindow::onIsStartChanged);
    connect(hub, &InformationCenter::str_cmdChanged, m_cmdDialog, [this] { onStrCmdChanged(); });
    connect(m_cmdDialog, &CmdDialog::sigClearCmdStr, hub, [this] { onClearCmdStr(); });
    connect(m_sdkSocketThread, &sdkSocketThread::sigEndOrStart, hub,
            [this](bool inStart) { onScanEndOrStart(inStart); });
    connect(hub, &InformationCenter::sigSendCMDIpAndPort, m_cmdDialog,
            &CmdDialog::ipAndPortSetting);
    connect(hub, &InformationCenter::sigStartStatusChanged, m_sdkSocketThread,
            [this](bool inStart) { onStartStatusChanged(inStart); });
    connect(hub, &InformationCenter::sigIsGetPoint, m_processing, &Processing::setIsShowPoint);
    connect(m_processing, &Processing::sigProcessOK, m_showPoint, &ShowPoint::pointCloudUpdate);
    connect(m_processing, &Processing::sigProcessImagesOK, m_showPoint, &ShowPoint::imagesUpdate);
    connect(m_processing, &Processing::sigProgressInit, m_cmdDialog, &CmdDialog::initProgress);
    connect(m_processing, &Processing::sigProgressChanged, m_cmdDialog, &CmdDialog::showProgress);
    connect(m_cmdDialog, &CmdDialog::sigConnectionLost, hub, [this] { onConnectionLost(); });
}

void MainWindow::init(QObject *root)
{
    m_packetRing = new PacketRing(packetSize, ringSlots);

    m_showImage = findNamed<ShowImage>(root, "c_cppShowImage");
    m_cmdDialog = findNamed<CmdDialog>(root, "c_cppCmdDialog");
    m_informationCenter = findNamed<InformationCenter>(root, "c_cppInformationCenter");

    m_processing = new Processing(&m_packetRing, &m_informationCenter);
    m_processing->start();

    m_searchDev = new SearchDev(&m_informationCenter, &m_cmdDialog);

    m_udpReceiver = new UdpReceiver(&m_packetRing, QStringLiteral("0.0.0.0"));
    startReceiver(m_udpReceiver, &MainWindow::onFirstDataPort);

    connect(m_informationCenter, &InformationCenter::connectStatusChanged, this,
            &MainWindow::onConnectStatusChanged);

    m_fileSave = new FileSave(&m_packetRing, &m_informationCenter);
    // The recorder may first ask the operator whether it may replace what an earlier recording
    // left, and the point-cloud file belongs only to a recording that started: one handler
    // takes the request in place of the connections both objects make, and hands it on in
    // that order.
    disconnect(m_informationCenter, &InformationCenter::sigSaveFile, m_processing, nullptr);
    disconnect(m_informationCenter, &InformationCenter::sigSaveFile, m_fileSave, nullptr);
    connect(m_informationCenter, &InformationCenter::sigSaveFile, this, &MainWindow::onSaveFile);
    m_fileRead = new FileRead(&m_processing, &m_informationCenter);

    m_showPoint = findNamed<ShowPoint>(root, "c_cppShowPoint");

    m_sdkSocketThread = new sdkSocketThread(&m_cmdDialog);
}

MainWindow::~MainWindow()
{
    // A replay in progress is asked to end at its next packet before its thread is joined.
    m_fileRead->stop();
    delete m_fileRead;
    m_fileSave->stop();
    delete m_fileSave;

    if (m_udpReceiver)
        m_udpReceiver->stop();
    delete m_udpReceiver;
    delete m_standbyReceiver;

    m_processing->stop();
    delete m_processing;

    // No thread reads or writes the ring any more.
    delete m_packetRing;

    delete m_searchDev;

    // Its thread reaches the command channel through m_cmdDialog: it ends before that goes.
    m_sdkSocketThread->stop();
    delete m_cmdDialog;
    delete m_sdkSocketThread;
}

void MainWindow::setPrompt(const OperatorPrompt &prompt)
{
    m_prompt = prompt;
    m_fileSave->setPrompt(prompt);
}

void MainWindow::startReceiver(UdpReceiver *receiver, void (MainWindow::*onPort)(QString))
{
    // A report still queued from a receiver that has since been replaced (or from an earlier
    // run of this one) must not announce its port.
    disconnect(receiver, nullptr, this, nullptr);
    const quint64 generation = ++m_receiverGeneration;
    connect(receiver, &UdpReceiver::sig_rSonarDataPort, this,
            [this, generation, onPort](QString port) {
                if (generation == m_receiverGeneration)
                    (this->*onPort)(port);
            });
    connect(receiver, &UdpReceiver::sigBindFailed, this,
            [this, generation](QString address, int error) {
                if (generation == m_receiverGeneration)
                    onDataPortFailed(address, error);
            });
    receiver->start();
}

void MainWindow::onPackageInfo(packageInfo a_curFrameInfo)
{
    m_informationCenter->updateFromPackageInfo(a_curFrameInfo);
}

void MainWindow::onFirstDataPort(QString inPort)
{
    m_informationCenter->setHostUdpPort(inPort);
}

void MainWindow::onConnectStatusChanged()
{
    InformationCenter *hub = m_informationCenter;
    if (!hub->f_connnectStatusIsConnected(hub->m_connectStatus()) || !m_udpReceiver)
        return;
    // The ring has one writer: the held receiver stops before the new one starts.
    m_udpReceiver->stop();
    if (m_standbyReceiver) {
        // The last rebuild has not bound yet; the receiver before it stays the fallback.
        delete m_udpReceiver;
    } else {
        m_standbyReceiver = m_udpReceiver;
    }
    m_udpReceiver = new UdpReceiver(&m_packetRing, hub->hostIp());
    startReceiver(m_udpReceiver, &MainWindow::onSonarDataPort);
}

void MainWindow::onSaveFile(QString inFileName)
{
    if (m_fileSave->onSaveFile(inFileName))
        m_processing->onSaveFile(inFileName);
}

void MainWindow::onSonarDataPort(QString inPort)
{
    // The held receiver has bound: the one it replaced is no longer needed.
    delete m_standbyReceiver;
    m_standbyReceiver = nullptr;

    InformationCenter *hub = m_informationCenter;
    hub->setHostUdpPort(inPort);
    m_cmdDialog->ipAndPortSetting(hub->hostIp(), hub->hostUdpPort());
    // The sonar takes the destination before the next command.
    QThread::msleep(20);
    hub->setStr_cmd(QStringLiteral("0x10接0xff"));
}

void MainWindow::onDataPortFailed(QString inBindAddress, int inError)
{
    QString reason;
    if (inError == 0)
        reason = tr("没有可用的端口");
    else if (inError == EADDRNOTAVAIL)
        reason = tr("该地址不是本机的地址");
    else if (inError == EINVAL)
        reason = tr("地址无效");
    else
        reason = QString::fromLocal8Bit(std::strerror(inError));
    emit m_informationCenter->sigTipsCMD(
        tr("无法在 %1 上接收声呐数据：%2").arg(inBindAddress, reason));
    if (!m_standbyReceiver)
        return;
    // The receiver that ran before takes over again, on the address and (once more free)
    // the port that the sonar already streams to; the failed address is never announced.
    m_udpReceiver->stop();
    delete m_udpReceiver;
    m_udpReceiver = m_standbyReceiver;
    m_standbyReceiver = nullptr;
    startReceiver(m_udpReceiver, &MainWindow::onFirstDataPort);
}

void MainWindow::onReadingFile()
{
    // Handed to the data path's gate: done before the replay thread takes its first packet.
    m_processing->clearHistory();
    m_processing->clearStopRequest();
    m_processing->init();
    m_showPoint->slotDeleteTexture(true);
}

void MainWindow::onStopReadFile()
{
    m_processing->requestStop();
}

void MainWindow::onIsStartChanged()
{
    // A scan hides the image slice that a replay showed.
    if (m_informationCenter->isStart())
        m_showPoint->slotDeleteTexture(false);
}

void MainWindow::onStrCmdChanged()
{
    m_cmdDialog->sendCmd(m_informationCenter->str_cmd());
}

void MainWindow::onClearCmdStr()
{
    m_informationCenter->setStr_cmd(QStringLiteral(" "));
}

void MainWindow::onScanEndOrStart(bool inStart)
{
    if (inStart) {
        emit m_informationCenter->sigScanStart();
        return;
    }
    emit m_informationCenter->sigScanEnd();
    if (m_prompt.warn)
        m_prompt.warn(QStringLiteral("提示!"), QStringLiteral("声呐扫描结束!"));
}

void MainWindow::onStartStatusChanged(bool inStart)
{
    if (inStart) {
        m_sdkSocketThread->start();
        return;
    }
    m_sdkSocketThread->stop();
    emit m_informationCenter->sigScanEnd();
}

void MainWindow::onConnectionLost()
{
    // The sonar ended the channel on its own: the state is left as the operator's disconnect
    // leaves it (not connected, no scan: the front end releases its start button on
    // sigScanEnd), and the status returns to None, so nothing offers commands on a dead channel.
    InformationCenter *hub = m_informationCenter;
    hub->setConnectOK(false);
    onStartStatusChanged(false);
    hub->f_setConnectStatusNone();
    emit hub->sigTipsCMD(tr("与声呐的连接已丢失"));
}
