#pragma once

#include <QMetaType>
#include <QtGlobal>

#include <cstddef>

#pragma pack(push, 1)
// The sonar's 100-byte settings record, little-endian; the gaps are not read.
struct deviceSettingStatus
{
    quint8 reserved0[2];
    quint8 syncMode;
    quint8 power;
    float period;
    float minDis;
    float maxDis;
    quint8 sigMode;
    quint8 tvg;
    quint8 dataSource;
    quint8 winFunc;
    quint8 reserved1[4];
    float speed;
    float tvgA;
    float tvgB;
    float tvgC;
    float horAngleReso;
    float disReso;
    quint8 luminance;
    quint8 startStatus;
    quint8 ip[4]; // first octet first
    qint16 port;
    float phaseAngle;
    quint8 phaseMode;
    quint8 workMode;
    quint8 reserved2[38];
};
#pragma pack(pop)

static_assert(sizeof(deviceSettingStatus) == 100, "the settings record is 100 bytes");
static_assert(offsetof(deviceSettingStatus, speed) == 24, "speed offset");
static_assert(offsetof(deviceSettingStatus, luminance) == 48, "luminance offset");
static_assert(offsetof(deviceSettingStatus, ip) == 50, "ip offset");
static_assert(offsetof(deviceSettingStatus, phaseAngle) == 56, "phaseAngle offset");
static_assert(offsetof(deviceSettingStatus, workMode) == 61, "workMode offset");

Q_DECLARE_METATYPE(deviceSettingStatus)
