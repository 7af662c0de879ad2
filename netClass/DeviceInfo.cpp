#include "DeviceInfo.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

DeviceInfo::DeviceInfo()
{
    m_bytes.fill(0);
}

DeviceInfo::DeviceInfo(const char *data, qsizetype size) : DeviceInfo()
{
    if (data && size > 0)
        std::memcpy(m_bytes.data(), data,
                    static_cast<std::size_t>(std::min<qsizetype>(size, recordSize)));
}

DeviceInfo::DeviceInfo(const QByteArray &reply) : DeviceInfo(reply.constData(), reply.size()) {}

QString DeviceInfo::deviceName() const
{
    const char *name = constData() + nameOffset;
    const auto len = static_cast<qsizetype>(qstrnlen(name, nameSize));
    return QString::fromUtf8(name, len);
}

quint8 DeviceInfo::workModeFlag(int mode) const
{
    if (mode < 0 || mode >= recordSize - modeFlagsOffset)
        return 0;
    return byteAt(modeFlagsOffset + mode);
}

float DeviceInfo::maxRange(int mode, bool *ok) const
{
    const bool valid = isWorkModeIndex(mode);
    if (ok)
        *ok = valid;
    if (!valid)
        return 0.0f;
    const int offset = workModeTableOffset + workModeEntrySize * mode + maxRangeInEntry;
    return qFromLittleEndian<float>(m_bytes.data() + offset);
}
