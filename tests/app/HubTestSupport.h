#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <cstring>

// Helpers shared by the state-hub tests: a little-endian byte builder for records and headers,
// a log catcher and a recorder of signal names in emission order.

class ByteBuilder
{
public:
    explicit ByteBuilder(int size) : m_bytes(size, '\0') {}

    template <typename T>
    ByteBuilder &put(int offset, T value)
    {
        qToLittleEndian<T>(value, m_bytes.data() + offset);
        return *this;
    }
    ByteBuilder &putBytes(int offset, const QByteArray &bytes)
    {
        std::memcpy(m_bytes.data() + offset, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return *this;
    }
    const QByteArray &bytes() const { return m_bytes; }

    template <typename T>
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

// Collects every message of one type while it exists (the messages are still printed).
class LogCatcher
{
public:
    explicit LogCatcher(QtMsgType type);
    ~LogCatcher();
    QStringList messages() const { return m_messages; }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg);
    QtMsgType m_type;
    QStringList m_messages;
    QtMessageHandler m_previous;
};

// Connects to every parameterless signal of a sender and records their names in order.
class SignalOrder : public QObject
{
    Q_OBJECT
public:
    explicit SignalOrder(QObject *sender);
    QStringList names;

public Q_SLOTS:
    void hit();
};
