#include "SearchDev.h"

#include "CmdDialog.h"
#include "app/InformationCenter.h"

#include <QCollator>
#include <QDebug>
#include <QLocale>

#include <algorithm>

SearchDev::SearchDev(InformationCenter **informationCenter, CmdDialog **cmdDialog, QObject *parent)
    : QObject(parent), m_informationCenter(informationCenter), m_cmdDialog(cmdDialog)
{
    init();
}

SearchDev::~SearchDev()
{
    m_worker.stop();
}

void SearchDev::init()
{
    // One timer drives the period: publish, then search again. Two equal single-shot timers
    // restarting each other would keep pushing the publication back for ever.
    setTimings(periodMs, connectTimeoutMs);
    m_publishTimer.setSingleShot(true);
    m_connectTimer.setSingleShot(true);
    m_targetIp.clear();
    InformationCenter *ic = *m_informationCenter;
    connect(ic, &InformationCenter::sigCreateSearchThread, this, &SearchDev::onCreateSearchThread);
    connect(ic, &InformationCenter::sigSearching, this, &SearchDev::onSearching);
    connect(ic, &InformationCenter::sigConnecting, this, &SearchDev::onConnectByIp);
    connect(&m_connectTimer, &QTimer::timeout, this, &SearchDev::onConnectTimeout);
    connect(&m_publishTimer, &QTimer::timeout, this, &SearchDev::publishDeviceList);
    connect(&m_worker, &UdpSerchDev::sigDeviceData, this, &SearchDev::f_recvDevPack);
}

void SearchDev::setTimings(int periodMs, int connectTimeoutMs)
{
    m_publishTimer.setInterval(periodMs);
    m_connectTimer.setInterval(connectTimeoutMs);
}

QStringList SearchDev::sortedRows(QStringList rows)
{
    // The C locale's collation has no numeric mode: name the locale explicitly.
    QCollator collator{QLocale(QLocale::English, QLocale::UnitedStates)};
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(rows.begin(), rows.end(), [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    });
    return rows;
}

void SearchDev::rebind()
{
    m_worker.setHostIps((*m_informationCenter)->f_getHostIpAddrs());
}

void SearchDev::rebindAndBroadcast()
{
    rebind();
    m_worker.sendSearch(false, QString());
}

void SearchDev::onCreateSearchThread(bool on)
{
    InformationCenter *ic = *m_informationCenter;
    if (on) {
        m_searchThreadOn = true;
        m_worker.stop();
        m_worker.start();
        const QStringList hosts = ic->f_getHostIpAddrs();
        if (hosts.size() < 2)
            emit ic->sigTipsDialog(tr("提示"), tr("无网络"));
        m_worker.setHostIps(hosts);
        return;
    }
    m_searchThreadOn = false;
    m_worker.stop();
    m_searching = false;
    m_connectPending = false;
    m_targetIp.clear();
    // A connection still pending ends with the panel, without a failure for no address.
    m_connectTimer.stop();
    m_publishTimer.stop();
    m_devices.clear();
    ic->setSearchedNameAndIp(QStringList());
}

void SearchDev::onSearching(bool on)
{
    m_searching = on;
    m_devices.clear();
    if (!on) {
        m_publishTimer.stop();
        return;
    }
    (*m_informationCenter)->setSearchedNameAndIp(QStringList());
    rebindAndBroadcast();
    m_publishTimer.start();
}

void SearchDev::publishDeviceList()
{
    QStringList rows;
    for (const DeviceEntry &e : std::as_const(m_devices))
        rows.append(e.info.deviceName() + QLatin1Char('\n') + e.devIp);
    (*m_informationCenter)->setSearchedNameAndIp(sortedRows(rows));
    onSearchTimeout();
}

void SearchDev::onSearchTimeout()
{
    if (!m_searching) {
        m_publishTimer.stop();
        return;
    }
    m_publishTimer.start();
    m_devices.clear();
    rebindAndBroadcast();
}

void SearchDev::f_recvDevPack(QByteArray inDevData, QString inDevIp, QString inHostIp)
{
    if (!m_searchThreadOn) {
        qDebug() << "接收到udp 包，但搜寻线程已关闭，不进行任何操作"
                 << "SearchDev::f_recvDevPack";
        return;
    }
    // Only within the connect time-out: replies that queued up behind a slow attempt must not
    // each start another one once the time is up.
    if (m_connectPending && inDevIp == m_targetIp && m_connectTimer.remainingTime() > 0)
        connectToDevice(DeviceInfo(inDevData), inDevIp, inHostIp);
    if (m_searching)
        addDevice(inDevData, inDevIp, inHostIp);
}

bool SearchDev::addDevice(const QByteArray &reply, const QString &devIp, const QString &hostIp)
{
    if (indexOfDevice(devIp) != -1)
        return false;
    m_devices.append(DeviceEntry{hostIp, devIp, DeviceInfo(reply)});
    return true;
}

int SearchDev::indexOfDevice(const QString &devIp) const
{
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).devIp == devIp)
            return i;
    }
    return -1;
}

bool SearchDev::findDeviceInfo(const QString &devIp, QString *hostIp, DeviceInfo *info) const
{
    const int i = indexOfDevice(devIp);
    if (i >= 0) {
        *hostIp = m_devices.at(i).hostIp;
        *info = m_devices.at(i).info;
        return true;
    }
    for (const DeviceEntry &e : m_devices)
        qDebug().noquote() << "设备信息：" + e.devIp;
    qDebug().noquote() << QStringLiteral("未获得") + devIp + QStringLiteral("的设备信息");
    return false;
}

void SearchDev::onConnectByIp(bool on, const QString &address)
{
    if (!on) {
        m_connectPending = false;
        m_targetIp.clear();
        m_connectTimer.stop();
        (*m_informationCenter)->setConnectOK(false);
        return;
    }
    m_targetIp = address;
    m_connectTimer.start();
    QString hostIp;
    DeviceInfo info;
    if (findDeviceInfo(address, &hostIp, &info)) {
        connectToDevice(info, address, hostIp);
        return;
    }
    m_connectPending = true;
    rebind();
    m_worker.sendSearch(true, address);
}

bool SearchDev::connectToDevice(const DeviceInfo &info, const QString &devIp, const QString &hostIp)
{
    InformationCenter *ic = *m_informationCenter;
    CmdDialog *cmd = *m_cmdDialog;
    if (cmd->connectOrNot()) {
        cmd->disconnected();
        emit ic->sigTipsDialog(tr("提示"), tr("断开并重新建立连接"));
    }
    if (!cmd->tryConnect(devIp, hostIp)) {
        emit ic->sigTryConnectFailed(devIp);
        return false;
    }
    m_connectTimer.stop();
    m_worker.stop();
    m_searchThreadOn = false;
    m_searching = false;
    m_connectPending = false;
    m_devices.clear();
    ic->setDeviceInfo(info);
    ic->setHostIp(hostIp);
    ic->setDstIp(devIp);
    ic->f_setConnectStatusConnected();
    ic->setConnectOK(true);
    return true;
}

void SearchDev::onConnectTimeout()
{
    InformationCenter *ic = *m_informationCenter;
    emit ic->sigTryConnectFailed(m_targetIp);
    emit ic->sigTipsCMD(tr("连接超时：") + m_targetIp);
    emit ic->sigTipsDialog(tr("提示"), tr("连接失败：") + m_targetIp);
    m_connectPending = false;
    m_targetIp.clear();
    m_connectTimer.stop();
}
