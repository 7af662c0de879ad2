#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// Process-wide length of one data packet (header plus payload). main() sets it to 1016 before
// any worker exists; every buffer, ring slot and recording record uses it.
extern quint16 packetSize;

namespace QvForwardSDK {

#pragma pack(push, 1)
// The 256-byte little-endian header that opens every data packet and every recorded record.
// Its memory image is the wire image: copy it with one memcpy, never field by field.
struct packageInfo
{
    quint8 packType = 0;
    quint8 dataWidth = 0;
    quint32 packTime1 = 0;
    quint16 packTime2 = 0;
    quint16 numPerRow = 0;
    quint16 numPerCol = 0;
    quint16 rowNumPerPack = 0;
    quint16 rowSerialNum = 0;
    quint16 packSerialNum = 0;
    quint16 packNumPerFrame = 0;
    quint32 frameSerialNum = 0;
    quint8 reserved0[8] = {};
    char deviceName[15] = {};
    quint8 workMode = 0;
    float acousticVelocity = 0;
    quint32 dataHeight = 0;
    float maxDist = 0;
    float distReso = 0;
    float horAngleReso = 0;
    float verAngleReso = 0;
    float longitude = 0;
    float latitude = 0;
    float altitude = 0;
    float status = 0;
    float yaw = 0;
    float pitch = 0;
    float roll = 0;
    float speed = 0;
    float direction = 0;
    quint8 syncModel = 0;
    float workCycle = 0;
    quint8 power = 0;
    quint8 sigModel = 0;
    quint8 TVGSet = 0;
    quint32 syncDelay = 0;
    quint8 windowFunc = 0;
    float TVGA = 0;
    float TVGB = 0;
    float TVGC = 0;
    quint8 brightness = 0;
    quint8 dynImprove = 0;
    quint8 blank = 0;
    float press = 0;
    float temp1 = 0;
    float temp2 = 0;
    quint64 utcTime = 0;
    float realFc = 0;
    quint8 reserved1[8] = {};
    float gamma = 0;
    quint8 reserved2[4] = {};
    float doaFreq = 0;
    float doaFregValue = 0;
    float doa = 0;
    float doaValue = 0;
    float vez25EDirectionAngle = 0;
    quint8 reserved3[60] = {};
};
#pragma pack(pop)

static_assert(sizeof(packageInfo) == 256, "packageInfo must be exactly 256 bytes");
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "the memory image is the little-endian wire image");
static_assert(alignof(packageInfo) == 1, "packageInfo must be packed");
static_assert(std::is_trivially_copyable<packageInfo>::value, "packageInfo is copied as raw bytes");
static_assert(offsetof(packageInfo, packTime1) == 2, "packTime1 offset");
static_assert(offsetof(packageInfo, packTime2) == 6, "packTime2 offset");
static_assert(offsetof(packageInfo, numPerRow) == 8, "numPerRow offset");
static_assert(offsetof(packageInfo, packSerialNum) == 16, "packSerialNum offset");
static_assert(offsetof(packageInfo, packNumPerFrame) == 18, "packNumPerFrame offset");
static_assert(offsetof(packageInfo, frameSerialNum) == 20, "frameSerialNum offset");
static_assert(offsetof(packageInfo, deviceName) == 32, "deviceName offset");
static_assert(offsetof(packageInfo, workMode) == 47, "workMode offset");
static_assert(offsetof(packageInfo, acousticVelocity) == 48, "acousticVelocity offset");
static_assert(offsetof(packageInfo, dataHeight) == 52, "dataHeight offset");
static_assert(offsetof(packageInfo, maxDist) == 56, "maxDist offset");
static_assert(offsetof(packageInfo, distReso) == 60, "distReso offset");
static_assert(offsetof(packageInfo, speed) == 100, "speed offset");
static_assert(offsetof(packageInfo, direction) == 104, "direction offset");
static_assert(offsetof(packageInfo, syncModel) == 108, "syncModel offset");
static_assert(offsetof(packageInfo, workCycle) == 109, "workCycle offset");
static_assert(offsetof(packageInfo, power) == 113, "power offset");
static_assert(offsetof(packageInfo, syncDelay) == 116, "syncDelay offset");
static_assert(offsetof(packageInfo, windowFunc) == 120, "windowFunc offset");
static_assert(offsetof(packageInfo, TVGA) == 121, "TVGA offset");
static_assert(offsetof(packageInfo, TVGB) == 125, "TVGB offset");
static_assert(offsetof(packageInfo, TVGC) == 129, "TVGC offset");
static_assert(offsetof(packageInfo, brightness) == 133, "brightness offset");
static_assert(offsetof(packageInfo, blank) == 135, "blank offset");
static_assert(offsetof(packageInfo, press) == 136, "press offset");
static_assert(offsetof(packageInfo, utcTime) == 148, "utcTime offset");
static_assert(offsetof(packageInfo, realFc) == 156, "realFc offset");
static_assert(offsetof(packageInfo, gamma) == 168, "gamma offset");
static_assert(offsetof(packageInfo, doaFreq) == 176, "doaFreq offset");
static_assert(offsetof(packageInfo, vez25EDirectionAngle) == 192, "vez25EDirectionAngle offset");

// The device name field need not be NUL-terminated: read at most its 15 bytes, up to the
// first NUL, as UTF-8.
inline QString deviceNameOf(const packageInfo &head)
{
    const auto len = static_cast<qsizetype>(qstrnlen(head.deviceName, sizeof(head.deviceName)));
    return QString::fromUtf8(head.deviceName, len);
}

// Bytes per sample for a sample-type code; 0 for a code that is not valid.
inline int sampleBytesOf(quint8 dataWidth)
{
    switch (dataWidth) {
    case 0:
        return 1;
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 8;
    case 16:
        return 2;
    case 17:
        return 4;
    case 18:
        return 8;
    case 19:
        return 16;
    case 48:
        return 2;
    case 49:
        return 4;
    case 50:
        return 8;
    default:
        return 0;
    }
}

} // namespace QvForwardSDK

using QvForwardSDK::packageInfo;

Q_DECLARE_METATYPE(QvForwardSDK::packageInfo)
