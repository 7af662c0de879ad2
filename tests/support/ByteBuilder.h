#pragma once

#include <QByteArray>
#include <QtEndian>
#include <QtGlobal>

#include <cstring>
#include <type_traits>

// Builds records and headers byte by byte at fixed little-endian offsets, so that a fixture
// does not depend on the struct it is meant to check.
class ByteBuilder
{
public:
    explicit ByteBuilder(int size) : m_bytes(size, '\0') {}

    template<typename T>
    ByteBuilder &put(int offset, T value)
    {
        qToLittleEndian<T>(value, m_bytes.data() + offset);
        return *this;
    }
    ByteBuilder &putBytes(int offset, const QByteArray &bytes)
    {
        std::memcpy(m_bytes.data() + offset, bytes.constData(),
                    static_cast<std::size_t>(bytes.size()));
        return *this;
    }
    const QByteArray &bytes() const { return m_bytes; }

    template<typename T>
    T as() const
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T value;
        Q_ASSERT(m_bytes.size() == static_cast<qsizetype>(sizeof(T)));
        std::memcpy(&value, m_bytes.constData(), sizeof(T));
        return value;
    }

private:
    QByteArray m_bytes;
};
