#include "InformationCenter.h"

#include <QAbstractSocket>
#include <QClipboard>
#include <QDate>
#include <QDebug>
#include <QGuiApplication>
#include <QHostAddress>
#include <QNetworkInterface>

#include <cmath>

namespace {

// A device range becomes the end of the front end's range ruler and may be sent back to the
// sonar: only a finite positive value is of any use there.
bool isUsableRange(float range)
{
    return std::isfinite(range) && range > 0.0f;
}

} // namespace

InformationCenter::InformationCenter(QObject *parent) : QObject(parent)
{
    setHorAngleReso(0.0f);
    setMaxDist(1.0f);
    setMaxRange(150.0f);
    setFileStatus(FileStatus::None);
    setConnectStatus(ConnectStatus::None);
    setColorTable(ColorTable::Default);
    setIsWholeOrHalf(true);
    setRemoveAngle2(65535.0);
    setBlank(1);
    setScale(0.015);
    setOffest(0.0);
    setSpeed(0.1f);
    setSpeedMove(0.1f);
    setTargetGamma(1.4);
}

#define KORVESSA_HUB_DEFINE_GETTER(Type, name, setter, notify, init) \
    Type InformationCenter::name() const \
    { \
        return m_##name.load(); \
    }
#define KORVESSA_HUB_DEFINE_SETTER(Type, name, setter, notify, init) \
    void InformationCenter::setter(Type value) \
    { \
        if (m_##name.storeIfChanged(std::move(value))) \
            emit notify(); \
    }
#define KORVESSA_HUB_HAND_WRITTEN(Type, name, setter, notify, init)

KORVESSA_HUB_PROPERTIES(KORVESSA_HUB_DEFINE_GETTER, KORVESSA_HUB_DEFINE_GETTER)
KORVESSA_HUB_PROPERTIES(KORVESSA_HUB_DEFINE_SETTER, KORVESSA_HUB_HAND_WRITTEN)

#undef KORVESSA_HUB_DEFINE_GETTER
#undef KORVESSA_HUB_DEFINE_SETTER
#undef KORVESSA_HUB_HAND_WRITTEN

void InformationCenter::setHorAngleReso(float value)
{
    // Type-0 packets carry the resolution per beam; the hub shows it for the whole row.
    if (packType() == 0 && value < 3.0f)
        value = value * static_cast<float>(numPerRow());
    if (m_horAngleReso.storeIfChanged(value))
        emit horAngleResoChanged();
}

void InformationCenter::setMaxRange(float value)
{
    if (!m_maxRange.storeIfChanged(value))
        return;
    qDebug() << "设置最大距离限制：" << value;
    emit maxRangeChanged();
}

void InformationCenter::setStr_cmd(QString value)
{
    if (!m_str_cmd.storeIfChanged(std::move(value)))
        return;
    emit str_cmdChanged();
    // A command is one-shot: resetting it lets the same text be sent again as a new change.
    m_str_cmd.store(QStringLiteral(" "));
}

void InformationCenter::updateFromPackageInfo(const packageInfo &head)
{
    // Each field is compared, stored and signalled in turn: a receiver sees the fields before
    // its own already updated. The header is packed, so fields are read by value.
#define KORVESSA_HUB_MIRROR(field) \
    if (m_##field.storeIfChanged(head.field)) \
        emit field##Changed();

    KORVESSA_HUB_MIRROR(packType)
    KORVESSA_HUB_MIRROR(dataWidth)
    KORVESSA_HUB_MIRROR(packTime1)
    KORVESSA_HUB_MIRROR(packTime2)
    KORVESSA_HUB_MIRROR(numPerRow)
    KORVESSA_HUB_MIRROR(numPerCol)
    KORVESSA_HUB_MIRROR(rowNumPerPack)
    KORVESSA_HUB_MIRROR(rowSerialNum)
    KORVESSA_HUB_MIRROR(packSerialNum)
    KORVESSA_HUB_MIRROR(packNumPerFrame)
    KORVESSA_HUB_MIRROR(frameSerialNum)
    setDeviceName(deviceNameOf(head));
    KORVESSA_HUB_MIRROR(workMode)
    KORVESSA_HUB_MIRROR(acousticVelocity)
    KORVESSA_HUB_MIRROR(dataHeight)
    KORVESSA_HUB_MIRROR(maxDist)
    KORVESSA_HUB_MIRROR(distReso)
    setHorAngleReso(head.horAngleReso);
    KORVESSA_HUB_MIRROR(verAngleReso)
    KORVESSA_HUB_MIRROR(longitude)
    KORVESSA_HUB_MIRROR(latitude)
    KORVESSA_HUB_MIRROR(altitude)
    KORVESSA_HUB_MIRROR(status)
    KORVESSA_HUB_MIRROR(yaw)
    KORVESSA_HUB_MIRROR(pitch)
    KORVESSA_HUB_MIRROR(roll)
    KORVESSA_HUB_MIRROR(speed)
    KORVESSA_HUB_MIRROR(direction)
    KORVESSA_HUB_MIRROR(syncModel)
    KORVESSA_HUB_MIRROR(workCycle)
    KORVESSA_HUB_MIRROR(power)
    KORVESSA_HUB_MIRROR(sigModel)
    KORVESSA_HUB_MIRROR(TVGSet)
    KORVESSA_HUB_MIRROR(syncDelay)
    KORVESSA_HUB_MIRROR(windowFunc)
    KORVESSA_HUB_MIRROR(TVGA)
    KORVESSA_HUB_MIRROR(TVGB)
    KORVESSA_HUB_MIRROR(TVGC)
    KORVESSA_HUB_MIRROR(brightness)
    KORVESSA_HUB_MIRROR(dynImprove)
    KORVESSA_HUB_MIRROR(blank)
    KORVESSA_HUB_MIRROR(press)
    KORVESSA_HUB_MIRROR(temp1)
    KORVESSA_HUB_MIRROR(temp2)
    KORVESSA_HUB_MIRROR(utcTime)
    KORVESSA_HUB_MIRROR(realFc)
    KORVESSA_HUB_MIRROR(gamma)
    KORVESSA_HUB_MIRROR(doaFreq)
    KORVESSA_HUB_MIRROR(doaFregValue)
    KORVESSA_HUB_MIRROR(doa)
    KORVESSA_HUB_MIRROR(doaValue)
    KORVESSA_HUB_MIRROR(vez25EDirectionAngle)

#undef KORVESSA_HUB_MIRROR
}

void InformationCenter::setDeviceInfo(const DeviceInfo &info)
{
    m_deviceInfo = info;
    m_hasDeviceInfo = true;

    setDeviceName(info.deviceName());

    const int count = info.workModeCount();
    QStringList offered;
    for (int mode = 0; mode < count; ++mode) {
        if (info.workModeFlag(mode) != 0)
            offered.append(QString::number(mode));
    }
    if (!offered.isEmpty()) {
        setSupportWorkModel(offered);
        setWorkModeNum(static_cast<quint8>(offered.size()));
    } else {
        // A sonar that flags none of its modes offers all of them.
        setWorkModeNum(static_cast<quint8>(count));
        if (count > 0) {
            QStringList all;
            for (int mode = 0; mode < count; ++mode)
                all.append(QString::number(mode));
            setSupportWorkModel(all);
        }
    }

    const float range = info.maxRange(0);
    if (isUsableRange(range))
        setMaxRange(range);
    else
        qWarning() << "InformationCenter::setDeviceInfo: work mode 0 has no usable maximum range"
                   << range << "- keeping" << maxRange();

    setWorkMode(0);
    setBrightnessBase(info.brightnessBase());
}

void InformationCenter::f_setFileStatusNone()
{
    m_m_fileStatus.store(FileStatus::None);
    emit fileStatusChanged();
}

void InformationCenter::f_setFileStatusReading()
{
    // exchange() keeps the test and the store one step when a worker thread calls this.
    if (m_m_fileStatus.exchange(FileStatus::Reading) == FileStatus::Saving)
        qDebug() << "InformationCenter::f_setFileStatusReading"
                 << "严重错误，正在保存文件直接切换到读文件";
    emit fileStatusChanged();
}

void InformationCenter::f_setFileStatusSaving()
{
    if (m_m_fileStatus.exchange(FileStatus::Saving) == FileStatus::Reading)
        qDebug() << "InformationCenter::f_setFileStatusSaving"
                 << "严重错误，正在读文件直接切换到保存文件";
    emit fileStatusChanged();
}

bool InformationCenter::f_filestatusIsNone(FileStatus)
{
    return m_fileStatus() == FileStatus::None;
}

bool InformationCenter::f_fileStatusIsReading(FileStatus)
{
    return m_fileStatus() == FileStatus::Reading;
}

bool InformationCenter::f_fileStatusIsSaving(FileStatus)
{
    return m_fileStatus() == FileStatus::Saving;
}

void InformationCenter::f_setSaveFileNameToClipboard()
{
    const QString text = deviceName() + QLatin1Char('_')
                         + QDate::currentDate().toString(u"yyyyMMdd") + QLatin1Char('_');
    qDebug().noquote() << "复制到剪贴板的值：" << text;
    QClipboard *clipboard = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                                ? QGuiApplication::clipboard()
                                : nullptr;
    if (!clipboard) {
        qWarning() << "InformationCenter::f_setSaveFileNameToClipboard: no clipboard without a GUI "
                      "application";
        return;
    }
    clipboard->setText(text, QClipboard::Clipboard);
}

QStringList InformationCenter::f_getHostIpAddrs()
{
    QStringList addresses;
    const QList<QHostAddress> all = QNetworkInterface::allAddresses();
    for (const QHostAddress &address : all) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(address.toString());
    }
    return addresses;
}

void InformationCenter::f_setConnectStatusNone()
{
    m_m_connectStatus.store(ConnectStatus::None);
    emit connectStatusChanged();
}

void InformationCenter::f_setConnectStatusTryConnect()
{
    m_m_connectStatus.store(ConnectStatus::TryConnect);
    emit connectStatusChanged();
}

void InformationCenter::f_setConnectStatusConnected()
{
    m_m_connectStatus.store(ConnectStatus::Connected);
    emit connectStatusChanged();
}

bool InformationCenter::f_connectStatusIsNone(ConnectStatus)
{
    return m_connectStatus() == ConnectStatus::None;
}

bool InformationCenter::f_connectStatusIsTryConnect(ConnectStatus)
{
    return m_connectStatus() == ConnectStatus::TryConnect;
}

bool InformationCenter::f_connnectStatusIsConnected(ConnectStatus)
{
    return m_connectStatus() == ConnectStatus::Connected;
}

void InformationCenter::f_updateMaxRange(int inWorkModel)
{
    // Frame headers arrive from the data port before any connection; without a record there
    // is no range to take.
    if (!m_hasDeviceInfo)
        return;
    // The index is the header's work mode (0 to 255) or a QML argument; the record has eight.
    bool inTable = false;
    const float range = m_deviceInfo.maxRange(inWorkModel, &inTable);
    if (!inTable) {
        qWarning() << "InformationCenter::f_updateMaxRange: work mode" << inWorkModel
                   << "is not in the device record - keeping" << maxRange();
        return;
    }
    if (!isUsableRange(range)) {
        qWarning() << "InformationCenter::f_updateMaxRange: work mode" << inWorkModel
                   << "has no usable maximum range" << range << "- keeping" << maxRange();
        return;
    }
    setMaxRange(range);
}
