#include "HubTestSupport.h"

#include "netClass/DeviceInfo.h"

#include <QTest>

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace {

ByteBuilder fullRecord()
{
    ByteBuilder bytes(896);
    bytes.put<quint8>(0, 0xA0);
    bytes.putBytes(1, QByteArrayLiteral("KXS-6204"));
    bytes.put<quint8>(28, 5);
    bytes.put<quint8>(29, 16);
    bytes.putBytes(30, QByteArray("\x01\x00\x02\x00\x01", 5));
    for (int i = 0; i < 8; ++i)
        bytes.put<float>(128 + 96 * i + 56, 50.0f * static_cast<float>(i + 1));
    bytes.put<quint8>(895, 0x5A);
    return bytes;
}

// A reply placed right before an inaccessible page: reading one byte past it faults.
class GuardedReply
{
public:
    explicit GuardedReply(const QByteArray &bytes)
    {
        m_page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        m_base = static_cast<char *>(
            mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        Q_ASSERT(m_base != MAP_FAILED);
        mprotect(m_base + m_page, m_page, PROT_NONE);
        m_data = m_base + m_page - bytes.size();
        std::memcpy(m_data, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    ~GuardedReply() { munmap(m_base, 2 * m_page); }
    const char *data() const { return m_data; }

private:
    std::size_t m_page = 0;
    char *m_base = nullptr;
    char *m_data = nullptr;
};

} // namespace

class TestDeviceInfo : public QObject
{
    Q_OBJECT

private slots:
    void fieldsAtTheirOffsets();
    void nameReadsAtMostFifteenBytes_data();
    void nameReadsAtMostFifteenBytes();
    void maxRangeOnlyForTheEightEntries();
    void shortReplyIsZeroFilled_data();
    void shortReplyIsZeroFilled();
    void longReplyKeepsTheRecord();
};

void TestDeviceInfo::fieldsAtTheirOffsets()
{
    const DeviceInfo info(fullRecord().bytes());
    QCOMPARE(info.replyMark(), quint8(0xA0));
    QCOMPARE(info.deviceName(), QStringLiteral("KXS-6204"));
    QCOMPARE(info.workModeCount(), quint8(5));
    QCOMPARE(info.brightnessBase(), quint8(16));
    const quint8 flags[] = {1, 0, 2, 0, 1, 0};
    for (int i = 0; i < 6; ++i)
        QCOMPARE(info.workModeFlag(i), flags[i]);
    // Entry 0's range sits at byte 184, the last entry's at 856.
    QCOMPARE(info.maxRange(0), 50.0f);
    QCOMPARE(info.maxRange(7), 400.0f);
    // The record travels whole, uninterpreted bytes included.
    QCOMPARE(info.toByteArray(), fullRecord().bytes());
    QCOMPARE(DeviceInfo(info.toByteArray()), info);
    // A one-byte count reaches flag 254, still inside the record; outside it reads 0.
    QCOMPARE(info.workModeFlag(254), quint8(0));
    QCOMPARE(info.workModeFlag(-1), quint8(0));
    QCOMPARE(info.workModeFlag(866), quint8(0));
    QCOMPARE(info.workModeFlag(865), quint8(0x5A));
}

void TestDeviceInfo::nameReadsAtMostFifteenBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");

    QTest::newRow("fifteen, no NUL")
        << QByteArray("ABCDEFGHIJKLMNO") << QStringLiteral("ABCDEFGHIJKLMNO");
    QTest::newRow("short") << QByteArray("KX\0Q", 4) << QStringLiteral("KX");
    QTest::newRow("empty") << QByteArray(1, '\0') << QString();
}

void TestDeviceInfo::nameReadsAtMostFifteenBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);

    ByteBuilder record = fullRecord();
    record.putBytes(1, QByteArray(15, '\0'));
    record.putBytes(1, bytes);
    // The bytes after the name are not text: a reader running on would show them.
    record.putBytes(16, QByteArrayLiteral("TAIL"));
    QCOMPARE(DeviceInfo(record.bytes()).deviceName(), name);
}

void TestDeviceInfo::maxRangeOnlyForTheEightEntries()
{
    const DeviceInfo info(fullRecord().bytes());
    for (int mode : {-1, 8, 200, 255}) {
        bool ok = true;
        QCOMPARE(info.maxRange(mode, &ok), 0.0f);
        QVERIFY(!ok);
    }
    bool ok = false;
    QCOMPARE(info.maxRange(3, &ok), 200.0f);
    QVERIFY(ok);
    QVERIFY(DeviceInfo::isWorkModeIndex(0));
    QVERIFY(DeviceInfo::isWorkModeIndex(7));
    QVERIFY(!DeviceInfo::isWorkModeIndex(8));
}

void TestDeviceInfo::shortReplyIsZeroFilled_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("mark only") << 1;
    QTest::newRow("header part") << 100;
    QTest::newRow("into entry 0") << 186;
    QTest::newRow("one short") << 895;
}

void TestDeviceInfo::shortReplyIsZeroFilled()
{
    QFETCH(int, length);

    const QByteArray received = fullRecord().bytes().left(length);
    const GuardedReply reply(received);
    const DeviceInfo info(reply.data(), length);
    QByteArray expected = received;
    expected.append(QByteArray(896 - length, '\0'));
    QCOMPARE(info.toByteArray(), expected);
    QCOMPARE(DeviceInfo(received), info);
}

void TestDeviceInfo::longReplyKeepsTheRecord()
{
    QByteArray datagram = fullRecord().bytes();
    datagram.append(QByteArray(128, '\x7F'));
    QCOMPARE(DeviceInfo(datagram).toByteArray(), fullRecord().bytes());
    QCOMPARE(DeviceInfo(nullptr, 10), DeviceInfo());
    QCOMPARE(DeviceInfo(QByteArray()).toByteArray(), QByteArray(896, '\0'));
}

QTEST_APPLESS_MAIN(TestDeviceInfo)
#include "tst_deviceinfo.moc"
