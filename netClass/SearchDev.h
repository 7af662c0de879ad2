#pragma once

#include "DeviceInfo.h"
#include "UdpSerchDev.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

class CmdDialog;
class InformationCenter;

// The discovery controller: turns the connection panel's requests into searches every 3 s,
// publishes the sonars that answered as rows "name\naddress" sorted by name, and connects to
// the one the operator picks, by address, within 2 s.
class SearchDev : public QObject
{
    Q_OBJECT
public:
    static constexpr int periodMs = 3000;
    static constexpr int connectTimeoutMs = 2000;

    struct DeviceEntry
    {
        QString hostIp;
        QString devIp;
        DeviceInfo info;
    };

    SearchDev(InformationCenter **informationCenter, CmdDialog **cmdDialog,
              QObject *parent = nullptr);
    ~SearchDev() override;

    // The search period and the connect time-out, PeriodMs and ConnectTimeoutMs unless set
    // otherwise. The program keeps those; tests shorten them, so that proving that nothing
    // happens takes a fraction of a second.
    void setTimings(int periodMs, int connectTimeoutMs);

    // Rows in publication order: numeric and case-insensitive, whatever the machine's locale.
    static QStringList sortedRows(QStringList rows);

    void onCreateSearchThread(bool on);
    void onSearching(bool on);
    void onConnectByIp(bool on, const QString &address);
    void onSearchTimeout();
    void publishDeviceList();
    void onConnectTimeout();
    bool connectToDevice(const DeviceInfo &info, const QString &devIp, const QString &hostIp);
    bool addDevice(const QByteArray &reply, const QString &devIp, const QString &hostIp);
    bool findDeviceInfo(const QString &devIp, QString *hostIp, DeviceInfo *info) const;
    int indexOfDevice(const QString &devIp) const;

public slots:
    void f_recvDevPack(QByteArray inDevData, QString inDevIp, QString inHostIp);

private:
    void init();
    void rebindAndBroadcast();
    void rebind();

    bool m_searchThreadOn = false;
    bool m_searching = false;
    bool m_connectPending = false;
    UdpSerchDev m_worker;
    InformationCenter **m_informationCenter;
    CmdDialog **m_cmdDialog;
    QTimer m_publishTimer;
    QList<DeviceEntry> m_devices;
    QTimer m_connectTimer;
    QString m_targetIp;
};
