#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// The first 896 bytes of a sonar's discovery reply, kept byte for byte as received
// (little-endian). Layout:
//   0        u8        reply mark (0xA0, or 0x00 when bytes 1 and 2 are "KX")
//   1..15    char[15]  device name, UTF-8, NUL-terminated only when shorter than 15 bytes
//   28       u8        work-mode count
//   29       u8        brightness base
//   30 + i   u8        work mode i offered when non-zero
//   128 + 96 * i       work-mode entry i, i = 0..7; its f32 at +56 is the mode's maximum range
// The record is a plain value: copy it whole, compare it byte for byte.
class DeviceInfo
{
public:
    static constexpr int recordSize = 896;
    static constexpr int nameOffset = 1;
    static constexpr int nameSize = 15;
    static constexpr int workModeCountOffset = 28;
    static constexpr int brightnessBaseOffset = 29;
    static constexpr int modeFlagsOffset = 30;
    static constexpr int workModeEntries = 8;
    static constexpr int workModeTableOffset = 128;
    static constexpr int workModeEntrySize = 96;
    static constexpr int maxRangeInEntry = 56;

    // All zeros: no reply mark, no name, no work modes.
    DeviceInfo();
    // Builds the record from a received datagram: the first 896 bytes; a shorter reply is read
    // only as far as it goes and the rest of the record is zero. Never reads past size bytes.
    DeviceInfo(const char *data, qsizetype size);
    explicit DeviceInfo(const QByteArray &reply);

    quint8 replyMark() const { return byteAt(0); }
    // Up to the first NUL of the 15 name bytes, or all 15 when there is none.
    QString deviceName() const;
    quint8 workModeCount() const { return byteAt(workModeCountOffset); }
    quint8 brightnessBase() const { return byteAt(brightnessBaseOffset); }
    // The flag byte of work mode i (non-zero = offered). The count is one byte, so every flag
    // a count can ask for lies inside the record; outside it the answer is 0.
    quint8 workModeFlag(int mode) const;
    // The maximum range of work mode 0..7 in metres; ok (when given) says whether mode named
    // an entry. Outside 0..7 it returns 0 with ok false.
    float maxRange(int mode, bool *ok = nullptr) const;
    static bool isWorkModeIndex(int mode) { return mode >= 0 && mode < workModeEntries; }

    const char *constData() const { return reinterpret_cast<const char *>(m_bytes.data()); }
    QByteArray toByteArray() const { return QByteArray(constData(), recordSize); }

    friend bool operator==(const DeviceInfo &a, const DeviceInfo &b)
    {
        return a.m_bytes == b.m_bytes;
    }

private:
    quint8 byteAt(int offset) const { return m_bytes[static_cast<std::size_t>(offset)]; }

    std::array<quint8, recordSize> m_bytes;
};

static_assert(DeviceInfo::workModeTableOffset
                      + DeviceInfo::workModeEntries * DeviceInfo::workModeEntrySize
                  == DeviceInfo::recordSize,
              "the last work-mode entry ends the record");
static_assert(DeviceInfo::modeFlagsOffset + 255 < DeviceInfo::recordSize,
              "every flag a one-byte count names lies inside the record");
