#include "processClass/PackageInfo.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstring>

namespace {

// Writes little-endian values at fixed offsets: the fixture does not use the struct.
void put8(QByteArray &b, int off, quint8 v) { b[off] = char(v); }
void put16(QByteArray &b, int off, quint16 v)
{
    for (int i = 0; i < 2; ++i)
        b[off + i] = char((v >> (8 * i)) & 0xff);
}
void put32(QByteArray &b, int off, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[off + i] = char((v >> (8 * i)) & 0xff);
}
void put64(QByteArray &b, int off, quint64 v)
{
    for (int i = 0; i < 8; ++i)
        b[off + i] = char((v >> (8 * i)) & 0xff);
}
void putF(QByteArray &b, int off, float f)
{
    quint32 v;
    std::memcpy(&v, &f, 4);
    put32(b, off, v);
}

packageInfo fromBytes(const QByteArray &b)
{
    packageInfo h;
    std::memcpy(&h, b.constData(), sizeof h);
    return h;
}

class Emitter : public QObject
{
    Q_OBJECT
signals:
    void header(QvForwardSDK::packageInfo h);
};

class Catcher : public QObject
{
    Q_OBJECT
public:
    // Written on the catcher's thread; read by the test only once done is set.
    QByteArray got;
    Qt::HANDLE thread = nullptr;
    std::atomic<bool> done{false};
public slots:
    void take(QvForwardSDK::packageInfo h)
    {
        got = QByteArray(reinterpret_cast<const char *>(&h), sizeof h);
        thread = QThread::currentThreadId();
        done.store(true);
    }
};

} // namespace

class TestPackageInfo : public QObject
{
    Q_OBJECT

private slots:
    void defaultHeaderIsAllZero()
    {
        packageInfo h;
        const QByteArray zero(256, '\0');
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(&h), sizeof h), zero);
    }

    void fieldsReadBackFromWireOffsets()
    {
        QByteArray b(256, '\0');
        put8(b, 0, 1);
        put8(b, 1, 19);
        put32(b, 2, 0x01020304);
        put16(b, 6, 0x0506);
        put16(b, 8, 2);
        put16(b, 10, 0x0a0b);
        put16(b, 12, 190);
        put16(b, 14, 77);
        put16(b, 16, 3);
        put16(b, 18, 11);
        put32(b, 20, 0xdeadbeef);
        std::memcpy(b.data() + 32, "Sonar", 5);
        put8(b, 47, 6);
        putF(b, 48, 1500.5f);
        put32(b, 52, 4000);
        putF(b, 56, 60.0f);
        putF(b, 60, 0.015f);
        putF(b, 100, 1.25f);
        putF(b, 104, -90.0f);
        put8(b, 108, 9);
        putF(b, 109, 0.05f);
        put8(b, 113, 200);
        put32(b, 116, 0x11223344);
        put8(b, 120, 4);
        putF(b, 121, 1.5f);
        putF(b, 125, 2.5f);
        putF(b, 129, 3.5f);
        put8(b, 133, 12);
        put8(b, 135, 2);
        put64(b, 148, 0x0102030405060708ULL);
        putF(b, 156, 750000.0f);
        putF(b, 168, 0.7f);
        putF(b, 192, 1.8f);

        const packageInfo h = fromBytes(b);
        QCOMPARE(h.packType, quint8(1));
        QCOMPARE(h.dataWidth, quint8(19));
        QCOMPARE(h.packTime1, quint32(0x01020304));
        QCOMPARE(h.packTime2, quint16(0x0506));
        QCOMPARE(h.numPerRow, quint16(2));
        QCOMPARE(h.numPerCol, quint16(0x0a0b));
        QCOMPARE(h.rowNumPerPack, quint16(190));
        QCOMPARE(h.rowSerialNum, quint16(77));
        QCOMPARE(h.packSerialNum, quint16(3));
        QCOMPARE(h.packNumPerFrame, quint16(11));
        QCOMPARE(h.frameSerialNum, quint32(0xdeadbeef));
        QCOMPARE(QvForwardSDK::deviceNameOf(h), QStringLiteral("Sonar"));
        QCOMPARE(h.workMode, quint8(6));
        QCOMPARE(h.acousticVelocity, 1500.5f);
        QCOMPARE(h.dataHeight, quint32(4000));
        QCOMPARE(h.maxDist, 60.0f);
        QCOMPARE(h.distReso, 0.015f);
        QCOMPARE(h.speed, 1.25f);
        QCOMPARE(h.direction, -90.0f);
        QCOMPARE(h.syncModel, quint8(9));
        QCOMPARE(h.workCycle, 0.05f);
        QCOMPARE(h.power, quint8(200));
        QCOMPARE(h.syncDelay, quint32(0x11223344));
        QCOMPARE(h.windowFunc, quint8(4));
        QCOMPARE(h.TVGA, 1.5f);
        QCOMPARE(h.TVGB, 2.5f);
        QCOMPARE(h.TVGC, 3.5f);
        QCOMPARE(h.brightness, quint8(12));
        QCOMPARE(h.blank, quint8(2));
        QCOMPARE(h.utcTime, quint64(0x0102030405060708ULL));
        QCOMPARE(h.realFc, 750000.0f);
        QCOMPARE(h.gamma, 0.7f);
        QCOMPARE(h.vez25EDirectionAngle, 1.8f);
    }

    void deviceNameNeverReadsPastFifteenBytes()
    {
        QByteArray b(256, '\0');
        std::memcpy(b.data() + 32, "ABCDEFGHIJKLMNO", 15);
        put8(b, 47, 'Z'); // workMode right after the name must not leak into it
        QCOMPARE(QvForwardSDK::deviceNameOf(fromBytes(b)), QStringLiteral("ABCDEFGHIJKLMNO"));
    }

    void sampleTypeTable()
    {
        const int valid[][2] = {{0, 1},  {1, 2},  {2, 4},  {3, 8},  {16, 2}, {17, 4},
                                {18, 8}, {19, 16}, {48, 2}, {49, 4}, {50, 8}};
        int validCount = 0;
        for (int code = 0; code < 256; ++code) {
            int expected = 0;
            for (const auto &v : valid)
                if (v[0] == code)
                    expected = v[1];
            QCOMPARE(QvForwardSDK::sampleBytesOf(quint8(code)), expected);
            validCount += expected ? 1 : 0;
        }
        QCOMPARE(validCount, 11);
    }

    void queuedSignalAcrossThreadsKeepsAllBytes()
    {
        qRegisterMetaType<QvForwardSDK::packageInfo>("packageInfo");
        QCOMPARE(QByteArray(QMetaType::fromType<QvForwardSDK::packageInfo>().name()),
                 QByteArray("QvForwardSDK::packageInfo"));

        QByteArray pattern(256, '\0');
        for (int i = 0; i < 256; ++i)
            pattern[i] = char((i * 37 + 11) & 0xff);

        QThread worker;
        Catcher catcher;
        catcher.moveToThread(&worker);
        worker.start();
        Emitter emitter;
        connect(&emitter, &Emitter::header, &catcher, &Catcher::take, Qt::QueuedConnection);
        emit emitter.header(fromBytes(pattern));
        QTRY_VERIFY(catcher.done.load());
        QCOMPARE(catcher.got, pattern);
        QVERIFY(catcher.thread != QThread::currentThreadId());
        worker.quit();
        worker.wait();
    }
};

QTEST_GUILESS_MAIN(TestPackageInfo)
#include "tst_packageinfo.moc"
