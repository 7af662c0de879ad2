#include "processClass/PackageInfo.h"
#include "support/ByteBuilder.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>

namespace {

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
    QByteArray m_got;
    Qt::HANDLE m_thread = nullptr;
    std::atomic<bool> m_done{false};
public slots:
    void take(QvForwardSDK::packageInfo h)
    {
        m_got = QByteArray(reinterpret_cast<const char *>(&h), sizeof h);
        m_thread = QThread::currentThreadId();
        m_done.store(true);
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
        ByteBuilder b(256);
        b.put<quint8>(0, 1);
        b.put<quint8>(1, 19);
        b.put<quint32>(2, 0x01020304);
        b.put<quint16>(6, 0x0506);
        b.put<quint16>(8, 2);
        b.put<quint16>(10, 0x0a0b);
        b.put<quint16>(12, 190);
        b.put<quint16>(14, 77);
        b.put<quint16>(16, 3);
        b.put<quint16>(18, 11);
        b.put<quint32>(20, 0xdeadbeef);
        b.putBytes(32, QByteArray("Sonar"));
        b.put<quint8>(47, 6);
        b.put<float>(48, 1500.5f);
        b.put<quint32>(52, 4000);
        b.put<float>(56, 60.0f);
        b.put<float>(60, 0.015f);
        b.put<float>(100, 1.25f);
        b.put<float>(104, -90.0f);
        b.put<quint8>(108, 9);
        b.put<float>(109, 0.05f);
        b.put<quint8>(113, 200);
        b.put<quint32>(116, 0x11223344);
        b.put<quint8>(120, 4);
        b.put<float>(121, 1.5f);
        b.put<float>(125, 2.5f);
        b.put<float>(129, 3.5f);
        b.put<quint8>(133, 12);
        b.put<quint8>(135, 2);
        b.put<quint64>(148, 0x0102030405060708ULL);
        b.put<float>(156, 750000.0f);
        b.put<float>(168, 0.7f);
        b.put<float>(192, 1.8f);

        const packageInfo h = b.as<packageInfo>();
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
        ByteBuilder b(256);
        b.putBytes(32, QByteArray("ABCDEFGHIJKLMNO"));
        b.put<quint8>(47, 'Z'); // workMode right after the name must not leak into it
        QCOMPARE(QvForwardSDK::deviceNameOf(b.as<packageInfo>()),
                 QStringLiteral("ABCDEFGHIJKLMNO"));
    }

    void sampleTypeTable()
    {
        const int valid[][2] = {{0, 1},  {1, 2},   {2, 4},  {3, 8},  {16, 2}, {17, 4},
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

        ByteBuilder patterned(256);
        for (int i = 0; i < 256; ++i)
            patterned.put<quint8>(i, quint8((i * 37 + 11) & 0xff));
        const QByteArray pattern = patterned.bytes();

        QThread worker;
        Catcher catcher;
        catcher.moveToThread(&worker);
        worker.start();
        Emitter emitter;
        connect(&emitter, &Emitter::header, &catcher, &Catcher::take, Qt::QueuedConnection);
        emit emitter.header(patterned.as<packageInfo>());
        QTRY_VERIFY(catcher.m_done.load());
        QCOMPARE(catcher.m_got, pattern);
        QVERIFY(catcher.m_thread != QThread::currentThreadId());
        worker.quit();
        worker.wait();
    }
};

QTEST_GUILESS_MAIN(TestPackageInfo)
#include "tst_packageinfo.moc"
