#include "HubTestSupport.h"

#include "app/InformationCenter.h"
#include "netClass/DeviceInfo.h"

#include <QClipboard>
#include <QDate>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>

using FileStatus = InformationCenter::FileStatus;
using ConnectStatus = InformationCenter::ConnectStatus;

namespace {

constexpr float nanF = std::numeric_limits<float>::quiet_NaN();
constexpr double nanD = std::numeric_limits<double>::quiet_NaN();

QMetaProperty propertyOf(const QObject &object, const char *name)
{
    const QMetaObject *meta = object.metaObject();
    return meta->property(meta->indexOfProperty(name));
}

// The header fields in wire order (which is also the order in which the hub mirrors them),
// with a value for each that differs from the hub's defaults.
struct HeaderField
{
    const char *name;
    int offset;
    char kind; // b: u8, w: u16, d: u32, q: u64, f: f32
    double value;
};

const HeaderField headerFields[] = {
    {"packType", 0, 'b', 1},
    {"dataWidth", 1, 'b', 16},
    {"packTime1", 2, 'd', 123456789},
    {"packTime2", 6, 'w', 4321},
    {"numPerRow", 8, 'w', 2},
    {"numPerCol", 10, 'w', 11},
    {"rowNumPerPack", 12, 'w', 190},
    {"rowSerialNum", 14, 'w', 12},
    {"packSerialNum", 16, 'w', 13},
    {"packNumPerFrame", 18, 'w', 14},
    {"frameSerialNum", 20, 'd', 70001},
    // deviceName at 32, written separately
    {"workMode", 47, 'b', 3},
    {"acousticVelocity", 48, 'f', 1500.5},
    {"dataHeight", 52, 'd', 800},
    {"maxDist", 56, 'f', 30.25},
    {"distReso", 60, 'f', 0.0375},
    {"horAngleReso", 64, 'f', 0.9},
    {"verAngleReso", 68, 'f', 1.25},
    {"longitude", 72, 'f', 121.5},
    {"latitude", 76, 'f', 31.25},
    {"altitude", 80, 'f', -12.5},
    {"status", 84, 'f', 2},
    {"yaw", 88, 'f', 10.5},
    {"pitch", 92, 'f', -3.5},
    {"roll", 96, 'f', 1.75},
    {"speed", 100, 'f', 2.5},
    {"direction", 104, 'f', 270.5},
    {"syncModel", 108, 'b', 2},
    {"workCycle", 109, 'f', 0.125},
    {"power", 113, 'b', 200},
    {"sigModel", 114, 'b', 3},
    {"TVGSet", 115, 'b', 4},
    {"syncDelay", 116, 'd', 99999},
    {"windowFunc", 120, 'b', 5},
    {"TVGA", 121, 'f', 1.5},
    {"TVGB", 125, 'f', 2.5},
    {"TVGC", 129, 'f', 3.5},
    {"brightness", 133, 'b', 6},
    {"dynImprove", 134, 'b', 7},
    {"blank", 135, 'b', 2},
    {"press", 136, 'f', 101.5},
    {"temp1", 140, 'f', 18.5},
    {"temp2", 144, 'f', 19.5},
    {"utcTime", 148, 'q', 1755000000123.0},
    {"realFc", 156, 'f', 680000},
    {"gamma", 168, 'f', 1.8},
    {"doaFreq", 176, 'f', 11},
    {"doaFregValue", 180, 'f', 12},
    {"doa", 184, 'f', 13},
    {"doaValue", 188, 'f', 14},
    {"vez25EDirectionAngle", 192, 'f', 0.45},
};

void putField(ByteBuilder &bytes, const HeaderField &field, double value)
{
    switch (field.kind) {
    case 'b':
        bytes.put<quint8>(field.offset, static_cast<quint8>(value));
        break;
    case 'w':
        bytes.put<quint16>(field.offset, static_cast<quint16>(value));
        break;
    case 'd':
        bytes.put<quint32>(field.offset, static_cast<quint32>(value));
        break;
    case 'q':
        bytes.put<quint64>(field.offset, static_cast<quint64>(value));
        break;
    case 'f':
        bytes.put<float>(field.offset, static_cast<float>(value));
        break;
    }
}

ByteBuilder headerBytes(const QByteArray &name = QByteArrayLiteral("ABCDEFGHIJKLMNO"))
{
    ByteBuilder bytes(256);
    for (const HeaderField &field : headerFields)
        putField(bytes, field, field.value);
    bytes.putBytes(32, name.left(15));
    return bytes;
}

packageInfo headerOf(const ByteBuilder &bytes)
{
    return bytes.as<packageInfo>();
}

// A record with three work modes, flags 1, 0, 1, entry 0's maximum range 60 and the other
// entries 10 m apart, so every entry reads differently.
ByteBuilder deviceRecord(quint8 count = 3, QByteArray flags = QByteArray("\x01\x00\x01", 3),
                         float range0 = 60.0f)
{
    ByteBuilder bytes(896);
    bytes.put<quint8>(0, 0xA0);
    bytes.putBytes(1, QByteArrayLiteral("SonarX"));
    bytes.put<quint8>(28, count);
    bytes.put<quint8>(29, 20);
    bytes.putBytes(30, flags);
    for (int i = 0; i < 8; ++i)
        bytes.put<float>(128 + 96 * i + 56, 100.0f + 10.0f * static_cast<float>(i));
    bytes.put<float>(184, range0);
    return bytes;
}

} // namespace

class TestInformationCenter : public QObject
{
    Q_OBJECT

private slots:
    void properties_data();
    void properties();
    void noOtherProperties();
    void tableMatchesMetaObject();
    void enums();
    void otherSignals_data();
    void otherSignals();
    void slotsInDeclarationOrder();

    void setterRule_data();
    void setterRule();
    void horAngleReso_data();
    void horAngleReso();
    void strCmdIsOneShot();
    void maxRangeLogsOnlyAChange();

    void mirrorSignalsEachFieldInOrder();
    void mirrorReceiverSeesEarlierFieldsOnly();
    void mirrorDeviceName_data();
    void mirrorDeviceName();
    void mirrorHorAngleReso_data();
    void mirrorHorAngleReso();

    void deviceInfoDerivesModes_data();
    void deviceInfoDerivesModes();
    void deviceInfoSignalOrder_data();
    void deviceInfoSignalOrder();
    void deviceInfoUnusableRange_data();
    void deviceInfoUnusableRange();
    void updateMaxRange_data();
    void updateMaxRange();
    void updateMaxRangeBeforeAnyDevice();

    void fileStatusSlots();
    void fileStatusSwitchIsLogged_data();
    void fileStatusSwitchIsLogged();
    void statusTestsIgnoreArgument();
    void connectStatusSlots();
    void clipboardSuggestion_data();
    void clipboardSuggestion();
};

// The property table as QML and the workers bind to it: name, type, default, notify signal,
// FINAL, and a different value to write through the meta-object. The rows are in declaration
// order, and each property must sit at its row's position.
void TestInformationCenter::properties_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("type");
    QTest::addColumn<QVariant>("initial");
    QTest::addColumn<QByteArray>("notify");
    QTest::addColumn<bool>("final");
    QTest::addColumn<QVariant>("other");

    int position = 0;
    const auto row = [&position](const char *name, QMetaType type, const QVariant &initial,
                                 const char *notify, bool final, const QVariant &other) {
        QTest::newRow(name) << QByteArray(name) << position++ << type.id() << initial
                            << QByteArray(notify) << final << other;
    };
    const auto mirror = [&row](const char *name, QMetaType type, const QVariant &initial,
                               const QVariant &other, bool final = false) {
        row(name, type, initial, QByteArray(name).append("Changed").constData(), final, other);
    };
    const QMetaType u8 = QMetaType::fromType<quint8>();
    const QMetaType u16 = QMetaType::fromType<quint16>();
    const QMetaType u32 = QMetaType::fromType<quint32>();
    const QMetaType u64 = QMetaType::fromType<quint64>();
    const QMetaType f32 = QMetaType::fromType<float>();
    const QMetaType f64 = QMetaType::fromType<double>();
    const QMetaType boolean = QMetaType::fromType<bool>();
    const QMetaType integer = QMetaType::fromType<int>();
    const QMetaType text = QMetaType::fromType<QString>();
    const QMetaType list = QMetaType::fromType<QStringList>();
    const QVariant u8v = QVariant::fromValue<quint8>(7);
    const QVariant u16v = QVariant::fromValue<quint16>(777);
    const QVariant u32v = QVariant::fromValue<quint32>(70000);
    const QVariant f32v = QVariant::fromValue(42.5f);
    const QVariant f32_0 = QVariant::fromValue(0.0f);

    mirror("packType", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("dataWidth", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("packTime1", u32, QVariant::fromValue<quint32>(0), u32v);
    mirror("packTime2", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("numPerRow", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("numPerCol", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("rowNumPerPack", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("rowSerialNum", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("packSerialNum", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("packNumPerFrame", u16, QVariant::fromValue<quint16>(0), u16v);
    mirror("frameSerialNum", u32, QVariant::fromValue<quint32>(0), u32v);
    mirror("deviceName", text, QString(), QStringLiteral("sonar"));
    mirror("workMode", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("acousticVelocity", f32, f32_0, f32v);
    mirror("dataHeight", u32, QVariant::fromValue<quint32>(0), u32v);
    mirror("maxDist", f32, QVariant::fromValue(1.0f), f32v);
    mirror("distReso", f32, f32_0, f32v);
    mirror("horAngleReso", f32, f32_0, f32v);
    mirror("verAngleReso", f32, f32_0, f32v);
    mirror("longitude", f32, f32_0, f32v);
    mirror("latitude", f32, f32_0, f32v);
    mirror("altitude", f32, f32_0, f32v);
    mirror("status", f32, f32_0, f32v);
    mirror("yaw", f32, f32_0, f32v);
    mirror("pitch", f32, f32_0, f32v);
    mirror("roll", f32, f32_0, f32v);
    mirror("speed", f32, QVariant::fromValue(0.1f), f32v);
    mirror("direction", f32, f32_0, f32v);
    mirror("syncModel", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("workCycle", f32, f32_0, f32v);
    mirror("power", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("sigModel", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("TVGSet", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("syncDelay", u32, QVariant::fromValue<quint32>(0), u32v);
    mirror("windowFunc", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("TVGA", f32, f32_0, f32v);
    mirror("TVGB", f32, f32_0, f32v);
    mirror("TVGC", f32, f32_0, f32v);
    mirror("brightness", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("dynImprove", u8, QVariant::fromValue<quint8>(0), u8v);
    mirror("blank", u8, QVariant::fromValue<quint8>(1), u8v);
    mirror("press", f32, f32_0, f32v);
    mirror("temp1", f32, f32_0, f32v);
    mirror("temp2", f32, f32_0, f32v);
    mirror("utcTime", u64, QVariant::fromValue<quint64>(0),
           QVariant::fromValue<quint64>(1755000000123ULL));
    mirror("gamma", f32, f32_0, f32v);

    row("workModeNum", u8, QVariant::fromValue<quint8>(1), "workModeNumChanged", false, u8v);
    row("maxRange", f32, QVariant::fromValue(150.0f), "maxRangeChanged", false, f32v);
    row("brightnessBase", integer, 16, "brightnessBaseChanged", false, 5);
    // Every property declared after brightnessBase is FINAL, these six header mirrors included.
    mirror("vez25EDirectionAngle", f32, f32_0, f32v, true);
    mirror("doaFreq", f32, f32_0, f32v, true);
    mirror("doaFregValue", f32, f32_0, f32v, true);
    mirror("doa", f32, f32_0, f32v, true);
    mirror("doaValue", f32, f32_0, f32v, true);
    mirror("realFc", f32, f32_0, f32v, true);
    row("searchedNameAndIp", list, QStringList(), "searchedNameAndIpChanged", true,
        QStringList{"sonar\n192.168.1.100"});
    row("m_fileStatus", QMetaType::fromType<FileStatus>(), QVariant::fromValue(FileStatus::None),
        "fileStatusChanged", true, QVariant::fromValue(FileStatus::Saving));
    row("m_connectStatus", QMetaType::fromType<ConnectStatus>(),
        QVariant::fromValue(ConnectStatus::None), "connectStatusChanged", true,
        QVariant::fromValue(ConnectStatus::Connected));
    row("hostIp", text, QStringLiteral("127.0.0.1"), "hostIpChanged", true,
        QStringLiteral("127.0.0.2"));
    row("hostUdpPort", text, QStringLiteral("5008"), "hostUdpPortChanged", true,
        QStringLiteral("5009"));
    row("dstIp", text, QStringLiteral("192.168.1.100"), "dstIpChanged", true,
        QStringLiteral("127.0.0.3"));
    row("colorTable", QMetaType::fromType<ColorTable::colorName>(),
        QVariant::fromValue(ColorTable::colorName(6)), "colorTableChanged", true,
        QVariant::fromValue(ColorTable::colorName(2)));
    row("supportWorkModel", list, QStringList(), "supportWorkModelChanged", true,
        QStringList{"0", "2"});
    row("isClearTargetList", boolean, false, "isClearTargetListChanged", true, true);
    row("BluetoothList", list, QStringList(), "BluetoothListChanged", true, QStringList{"b"});
    row("BluetoothName", text, QString(), "BluetoothNameChanged", true, QStringLiteral("b"));
    row("connectBluetooth", boolean, false, "connectBluetoothChanged", true, true);
    row("connectOK", boolean, false, "connectOKChanged", true, true);
    row("findBlueTooth", boolean, false, "findBlueToothChanged", true, true);
    row("str_cmd", text, QString(), "str_cmdChanged", true, QStringLiteral("0x06接0x01"));
    row("isUpata", boolean, false, "isUpataChanged", true, true);
    row("visitInside", boolean, false, "visitInsideChanged", true, true);
    row("showInside", text, QStringLiteral(" "), "showInsideChanged", true, QStringLiteral("x"));
    row("isStart", boolean, false, "isStartChanged", true, true);
    row("switchColor", integer, 0, "switchColorChanged", true, 3);
    row("removeAngle", f64, 0.0, "removeAngleChanged", true, 2.5);
    row("isWholeOrHalf", boolean, true, "isWholeOrHalfChanged", true, false);
    row("isReturnCenter", boolean, false, "isReturnCenterChanged", true, true);
    row("isStartOK", boolean, false, "isStartOKChanged", true, true);
    row("versionReturn", boolean, false, "versionReturnChanged", true, true);
    row("cmdWaitOK", boolean, false, "cmdWaitOKChanged", true, true);
    row("targetGamma", f64, 1.4, "targetGammaChanged", true, 2.5);
    row("reset", boolean, false, "resetChanged", true, true);
    row("removeAngle2", f64, 65535.0, "removeAngle2Changed", true, 2.5);
    row("scale", f64, 0.015, "scaleChanged", true, 2.5);
    row("offest", f64, 0.0, "offestChanged", true, 2.5);
    row("speedMove", f32, QVariant::fromValue(0.1f), "speedMoveChanged", true, f32v);
}

void TestInformationCenter::properties()
{
    QFETCH(QByteArray, name);
    QFETCH(int, position);
    QFETCH(int, type);
    QFETCH(QVariant, initial);
    QFETCH(QByteArray, notify);
    QFETCH(bool, final);
    QFETCH(QVariant, other);

    InformationCenter hub;
    const QMetaProperty property = propertyOf(hub, name.constData());
    QVERIFY2(property.isValid(), name.constData());
    QCOMPARE(property.propertyIndex() - hub.metaObject()->propertyOffset(), position);
    QCOMPARE(property.metaType().id(), type);
    QCOMPARE(property.read(&hub), initial);
    QVERIFY(property.isReadable());
    QVERIFY(property.isWritable());
    QVERIFY(property.hasNotifySignal());
    QCOMPARE(property.notifySignal().methodSignature(), notify + "()");
    QCOMPARE(property.isFinal(), final);

    QSignalSpy spy(&hub, property.notifySignal());
    QVERIFY(property.write(&hub, other));
    QCOMPARE(spy.count(), 1);
    // The command text is one-shot: it reads " " once its change has been signalled.
    QCOMPARE(property.read(&hub), name == "str_cmd" ? QVariant(QStringLiteral(" ")) : other);
    QVERIFY(property.write(&hub, property.read(&hub)));
    QCOMPARE(spy.count(), 1);
}

void TestInformationCenter::noOtherProperties()
{
    InformationCenter hub;
    const QMetaObject *meta = hub.metaObject();
    QCOMPARE(meta->propertyCount() - meta->propertyOffset(), 87);
    // Every notify signal is parameterless and belongs to exactly one property.
    QSet<int> notifiers;
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaMethod signal = meta->property(i).notifySignal();
        QCOMPARE(signal.parameterCount(), 0);
        notifiers.insert(signal.methodIndex());
    }
    QCOMPARE(notifiers.size(), 87);
}

// The accessors come from the hub's property table while moc reads the Q_PROPERTY lines: both
// must list the same properties, in the same order, with the same signals.
void TestInformationCenter::tableMatchesMetaObject()
{
    QByteArrayList table;
#define KORVESSA_TEST_ROW(Type, name, setter, notify, init) table.append(#name " " #notify "()");
    KORVESSA_HUB_PROPERTIES(KORVESSA_TEST_ROW, KORVESSA_TEST_ROW)
#undef KORVESSA_TEST_ROW

    const QMetaObject &meta = InformationCenter::staticMetaObject;
    QByteArrayList declared;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        declared.append(QByteArray(property.name()) + ' '
                        + property.notifySignal().methodSignature());
    }
    QCOMPARE(declared, table);
}

void TestInformationCenter::enums()
{
    const QMetaObject &meta = InformationCenter::staticMetaObject;
    const QMetaEnum file = meta.enumerator(meta.indexOfEnumerator("FileStatus"));
    const QMetaEnum connect = meta.enumerator(meta.indexOfEnumerator("ConnectStatus"));
    QVERIFY(file.isValid());
    QVERIFY(connect.isValid());
    QVERIFY(file.isScoped());
    QVERIFY(connect.isScoped());
    QCOMPARE(file.keyCount(), 3);
    QCOMPARE(connect.keyCount(), 3);
    QCOMPARE(file.keyToValue("None"), 0);
    QCOMPARE(file.keyToValue("Reading"), 1);
    QCOMPARE(file.keyToValue("Saving"), 2);
    QCOMPARE(connect.keyToValue("None"), 0);
    QCOMPARE(connect.keyToValue("TryConnect"), 1);
    QCOMPARE(connect.keyToValue("Connected"), 2);
}

// The signals that are not change notifications, as QML handlers and native receivers see them,
// in their declaration order.
void TestInformationCenter::otherSignals_data()
{
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("position");
    QTest::addColumn<QByteArrayList>("parameterNames");

    int position = 0;
    const auto row = [&position](const char *signature, const QByteArrayList &names = {}) {
        QTest::newRow(signature) << QByteArray(signature) << position++ << names;
    };
    row("sigReadFile(QString)", {"inFileName"});
    row("sigStopReadFile()");
    row("sigTotalFrame(QString)", {"inTotalFrame"});
    row("sigCurFrame(QString)", {"inCurFrame"});
    row("sigReadFileRate(double)", {"inRate"});
    row("sigPause(bool)", {"inPauseOrNot"});
    row("sigGotoFrame(int,bool)", {"inFrame", "inStatus"});
    row("sigSaveFile(QString)", {"inFileName"});
    row("sigStopSaveFile()");
    row("sigCreateSearchThread(bool)", {"inCreateSearchThread"});
    row("sigSearching(bool)", {"inSearcing"});
    row("sigConnecting(bool,QString)", {"inConnecting", "inIp"});
    row("sigTryConnectFailed(QString)", {"inMsg"});
    row("sigTipsDialog(QString,QString)", {"inTitle", "inMsg"});
    row("sigTipsCMD(QString)", {"inMsg"});
    row("sigSendCMDIpAndPort(QString,QString)", {"inIp", "inPort"});
    row("bluetoothDevice(QString)", {"name"});
    row("clearImageBuffer()");
    row("enforcementStartBtn(bool)", {"inChecked"});
    row("sigBrightnessOffset(int)", {"inOffset"});
    row("sigIsGetPoint(bool)", {"inIsGetPoint"});
    row("sigScanEnd()");
    row("sigScanStart()");
    row("sigStartStatusChanged(bool)", {"inStart"});
    row("updateSchedule(int)", {"value"});
    row("palyBackVideo(int)", {"value"});
    row("palyBackEnable(bool)", {"value"});
    for (const char *name :
         {"devIpChanged()", "arcCountChanged()", "chordCountChanged()", "screenCaptureChanged()",
          "screenCaptureingChanged()", "realDistanceChanged()", "squareLengthChanged()",
          "imageWidthChanged()", "targetDistanceChanged()", "bluetoothDeviceClear()",
          "connectSuccess()", "disconnectChanged()", "sigFindTo()", "sigFindZeroEnd()"})
        row(name);
}

void TestInformationCenter::otherSignals()
{
    QFETCH(QByteArray, signature);
    QFETCH(int, position);
    QFETCH(QByteArrayList, parameterNames);

    const QMetaObject &meta = InformationCenter::staticMetaObject;
    const int index = meta.indexOfSignal(signature.constData());
    QVERIFY2(index >= 0, signature.constData());
    const QMetaMethod signal = meta.method(index);
    QCOMPARE(signal.access(), QMetaMethod::Public);
    QCOMPARE(signal.parameterNames(), parameterNames);

    QSet<int> notifiers;
    for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
        notifiers.insert(meta.property(i).notifySignalIndex());
    int before = 0;
    for (int i = meta.methodOffset(); i < index; ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal && !notifiers.contains(i))
            ++before;
    }
    QCOMPARE(before, position);
}

void TestInformationCenter::slotsInDeclarationOrder()
{
    const QByteArrayList expected = {
        "f_setFileStatusNone()",
        "f_setFileStatusReading()",
        "f_setFileStatusSaving()",
        "f_filestatusIsNone(InformationCenter::FileStatus)",
        "f_fileStatusIsReading(InformationCenter::FileStatus)",
        "f_fileStatusIsSaving(InformationCenter::FileStatus)",
        "f_setSaveFileNameToClipboard()",
        "f_getHostIpAddrs()",
        "f_setConnectStatusNone()",
        "f_setConnectStatusTryConnect()",
        "f_setConnectStatusConnected()",
        "f_connectStatusIsNone(InformationCenter::ConnectStatus)",
        "f_connectStatusIsTryConnect(InformationCenter::ConnectStatus)",
        "f_connnectStatusIsConnected(InformationCenter::ConnectStatus)",
        "f_updateMaxRange(int)",
    };
    const QMetaObject &meta = InformationCenter::staticMetaObject;
    QByteArrayList found;
    QByteArrayList returns;
    int signalCount = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.access(), QMetaMethod::Public);
        if (method.methodType() == QMetaMethod::Slot) {
            found.append(method.methodSignature());
            returns.append(method.typeName());
        } else if (method.methodType() == QMetaMethod::Signal) {
            ++signalCount;
        }
    }
    QCOMPARE(found, expected);
    QCOMPARE(returns,
             (QByteArrayList{"void", "void", "void", "bool", "bool", "bool", "void", "QStringList",
                             "void", "void", "void", "bool", "bool", "bool", "void"}));
    QCOMPARE(signalCount, 87 + 27 + 14);
}

void TestInformationCenter::setterRule_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QVariant>("written");
    QTest::addColumn<int>("emitted");

    const auto f = [](float v) { return QVariant::fromValue(v); };
    QTest::newRow("float same") << QByteArray("maxDist") << f(1.0f) << f(1.0f) << 0;
    QTest::newRow("float 1.0000001 over 1")
        << QByteArray("maxDist") << f(1.0f) << f(1.0000001f) << 0;
    QTest::newRow("float 1.0001 over 1") << QByteArray("maxDist") << f(1.0f) << f(1.0001f) << 1;
    QTest::newRow("float tiny over 0") << QByteArray("maxDist") << f(0.0f) << f(1e-30f) << 1;
    QTest::newRow("float 0 over tiny") << QByteArray("maxDist") << f(1e-30f) << f(0.0f) << 1;
    QTest::newRow("float -0 over 0") << QByteArray("maxDist") << f(0.0f) << f(-0.0f) << 0;
    QTest::newRow("float NaN over NaN") << QByteArray("maxDist") << f(nanF) << f(nanF) << 1;
    QTest::newRow("float NaN over 1") << QByteArray("speedMove") << f(1.0f) << f(nanF) << 1;
    QTest::newRow("double 1+1e-13 over 1")
        << QByteArray("scale") << QVariant(1.0) << QVariant(1.0 + 1e-13) << 0;
    QTest::newRow("double 1+1e-11 over 1")
        << QByteArray("scale") << QVariant(1.0) << QVariant(1.0 + 1e-11) << 1;
    QTest::newRow("double 1.0000001 over 1")
        << QByteArray("targetGamma") << QVariant(1.0) << QVariant(1.0000001) << 1;
    QTest::newRow("double 0 over tiny")
        << QByteArray("offest") << QVariant(1e-300) << QVariant(0.0) << 1;
    QTest::newRow("double NaN over NaN")
        << QByteArray("removeAngle") << QVariant(nanD) << QVariant(nanD) << 1;
    QTest::newRow("int same") << QByteArray("switchColor") << QVariant(3) << QVariant(3) << 0;
    QTest::newRow("int other") << QByteArray("switchColor") << QVariant(3) << QVariant(4) << 1;
    QTest::newRow("u8 same") << QByteArray("power") << QVariant::fromValue<quint8>(9)
                             << QVariant::fromValue<quint8>(9) << 0;
    QTest::newRow("bool same") << QByteArray("connectOK") << QVariant(true) << QVariant(true) << 0;
    QTest::newRow("text same") << QByteArray("hostIp") << QVariant("10.0.0.1")
                               << QVariant("10.0.0.1") << 0;
    QTest::newRow("text other") << QByteArray("hostIp") << QVariant("10.0.0.1")
                                << QVariant("10.0.0.2") << 1;
    QTest::newRow("list same") << QByteArray("searchedNameAndIp") << QVariant(QStringList{"a", "b"})
                               << QVariant(QStringList{"a", "b"}) << 0;
    QTest::newRow("list other") << QByteArray("searchedNameAndIp")
                                << QVariant(QStringList{"a", "b"})
                                << QVariant(QStringList{"b", "a"}) << 1;
    QTest::newRow("enum same") << QByteArray("m_fileStatus")
                               << QVariant::fromValue(FileStatus::Saving)
                               << QVariant::fromValue(FileStatus::Saving) << 0;
    QTest::newRow("enum other") << QByteArray("m_connectStatus")
                                << QVariant::fromValue(ConnectStatus::None)
                                << QVariant::fromValue(ConnectStatus::TryConnect) << 1;
}

void TestInformationCenter::setterRule()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, stored);
    QFETCH(QVariant, written);
    QFETCH(int, emitted);

    InformationCenter hub;
    const QMetaProperty meta = propertyOf(hub, property.constData());
    QVERIFY(meta.write(&hub, stored));
    QSignalSpy spy(&hub, meta.notifySignal());
    QVERIFY(meta.write(&hub, written));
    QCOMPARE(spy.count(), emitted);
    // A change stores the new value; no change keeps the old one.
    const QVariant expected = emitted ? written : stored;
    const QVariant read = meta.read(&hub);
    if (expected.metaType() == QMetaType::fromType<float>() && std::isnan(expected.toFloat()))
        QVERIFY(std::isnan(read.toFloat()));
    else if (expected.metaType() == QMetaType::fromType<double>()
             && std::isnan(expected.toDouble()))
        QVERIFY(std::isnan(read.toDouble()));
    else
        QCOMPARE(read, expected);
}

void TestInformationCenter::horAngleReso_data()
{
    QTest::addColumn<int>("packType");
    QTest::addColumn<float>("written");
    QTest::addColumn<float>("stored");

    QTest::newRow("type 0, below 3") << 0 << 1.5f << 3.0f;
    QTest::newRow("type 1, below 3") << 1 << 1.5f << 1.5f;
    QTest::newRow("type 0, exactly 3") << 0 << 3.0f << 3.0f;
}

void TestInformationCenter::horAngleReso()
{
    QFETCH(int, packType);
    QFETCH(float, written);
    QFETCH(float, stored);

    InformationCenter hub;
    hub.setNumPerRow(2);
    hub.setPackType(static_cast<quint8>(packType));
    QSignalSpy spy(&hub, &InformationCenter::horAngleResoChanged);
    hub.setHorAngleReso(written);
    QCOMPARE(hub.horAngleReso(), stored);
    QCOMPARE(spy.count(), 1);
    hub.setHorAngleReso(written);
    QCOMPARE(spy.count(), 1);
}

void TestInformationCenter::strCmdIsOneShot()
{
    InformationCenter hub;
    QCOMPARE(hub.str_cmd(), QString());
    QStringList seen;
    connect(&hub, &InformationCenter::str_cmdChanged, this, [&] { seen.append(hub.str_cmd()); });

    const QString start = QStringLiteral("0x06接0x01");
    hub.setStr_cmd(start);
    hub.setStr_cmd(start);
    QCOMPARE(seen, (QStringList{start, start}));
    QCOMPARE(hub.str_cmd(), QStringLiteral(" "));
    // The reset text itself is no command: writing it changes nothing.
    hub.setStr_cmd(QStringLiteral(" "));
    QCOMPARE(seen.size(), 2);
}

void TestInformationCenter::maxRangeLogsOnlyAChange()
{
    InformationCenter hub;
    QSignalSpy spy(&hub, &InformationCenter::maxRangeChanged);
    {
        LogCollector log;
        hub.setMaxRange(150.0f);
        QCOMPARE(log.messages(QtDebugMsg), QStringList());
        QCOMPARE(spy.count(), 0);
    }
    LogCollector log;
    hub.setMaxRange(100.0f);
    QCOMPARE(log.messages(QtDebugMsg), QStringList{QStringLiteral("设置最大距离限制： 100")});
    QCOMPARE(spy.count(), 1);
    QCOMPARE(hub.maxRange(), 100.0f);
}

void TestInformationCenter::mirrorSignalsEachFieldInOrder()
{
    InformationCenter hub;
    SignalOrder order(&hub);
    const ByteBuilder bytes = headerBytes();
    hub.updateFromPackageInfo(headerOf(bytes));

    QStringList expected;
    for (const HeaderField &field : headerFields) {
        expected.append(QString::fromLatin1(field.name) + "Changed");
        if (qstrcmp(field.name, "frameSerialNum") == 0)
            expected.append(QStringLiteral("deviceNameChanged"));
    }
    QCOMPARE(order.m_names, expected);

    for (const HeaderField &field : headerFields) {
        const QVariant value = hub.property(field.name);
        if (field.kind == 'f')
            QCOMPARE(value.toFloat(), static_cast<float>(field.value));
        else
            QCOMPARE(value.toULongLong(), static_cast<quint64>(field.value));
    }
    QCOMPARE(hub.deviceName(), QStringLiteral("ABCDEFGHIJKLMNO"));

    order.m_names.clear();
    hub.updateFromPackageInfo(headerOf(bytes));
    QCOMPARE(order.m_names, QStringList());

    ByteBuilder next = headerBytes();
    next.put<quint32>(20, 70002);
    hub.updateFromPackageInfo(headerOf(next));
    QCOMPARE(order.m_names, QStringList{QStringLiteral("frameSerialNumChanged")});
    QCOMPARE(hub.frameSerialNum(), 70002u);
}

void TestInformationCenter::mirrorReceiverSeesEarlierFieldsOnly()
{
    InformationCenter hub;
    quint32 frameSeen = 0;
    float velocitySeen = -1.0f;
    connect(&hub, &InformationCenter::workModeChanged, this, [&] {
        frameSeen = hub.frameSerialNum();
        velocitySeen = hub.acousticVelocity();
    });
    hub.updateFromPackageInfo(headerOf(headerBytes()));
    QCOMPARE(frameSeen, 70001u);
    QCOMPARE(velocitySeen, 0.0f);
}

void TestInformationCenter::mirrorDeviceName_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");

    QTest::newRow("short") << QByteArray("KXS\0\0\0\0\0\0\0\0\0\0\0\0", 15)
                           << QStringLiteral("KXS");
    QTest::newRow("fifteen, no NUL")
        << QByteArray("ABCDEFGHIJKLMNO") << QStringLiteral("ABCDEFGHIJKLMNO");
    QTest::newRow("UTF-8") << QByteArray("\xe5\xa3\xb0\xe7\x90\x86\0", 7) << QStringLiteral("声理");
    QTest::newRow("invalid UTF-8") << QByteArray("A\xff"
                                                 "B\0",
                                                 4)
                                   << QStringLiteral("A\uFFFDB");
}

void TestInformationCenter::mirrorDeviceName()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);

    InformationCenter hub;
    ByteBuilder header = headerBytes(QByteArray(15, '\0'));
    header.putBytes(32, bytes);
    // workMode follows the name: a reader running past 15 bytes would pick it up.
    header.put<quint8>(47, 'Z');
    hub.updateFromPackageInfo(headerOf(header));
    QCOMPARE(hub.deviceName(), name);
}

void TestInformationCenter::mirrorHorAngleReso_data()
{
    QTest::addColumn<int>("packType");
    QTest::addColumn<float>("header");
    QTest::addColumn<float>("stored");

    QTest::newRow("type 0") << 0 << 0.9f << 1.8f;
    QTest::newRow("type 1") << 1 << 0.9f << 0.9f;
    QTest::newRow("type 0, 3.0") << 0 << 3.0f << 3.0f;
}

void TestInformationCenter::mirrorHorAngleReso()
{
    QFETCH(int, packType);
    QFETCH(float, header);
    QFETCH(float, stored);

    InformationCenter hub;
    ByteBuilder bytes = headerBytes();
    bytes.put<quint8>(0, static_cast<quint8>(packType));
    bytes.put<quint16>(8, 2);
    bytes.put<float>(64, header);
    hub.updateFromPackageInfo(headerOf(bytes));
    QCOMPARE(hub.horAngleReso(), stored);
}

void TestInformationCenter::deviceInfoDerivesModes_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("flags");
    QTest::addColumn<QStringList>("modes");
    QTest::addColumn<int>("modeNum");

    QTest::newRow("flags 1,0,1") << 3 << QByteArray("\x01\x00\x01", 3) << QStringList{"0", "2"}
                                 << 2;
    QTest::newRow("no flag set") << 3 << QByteArray(3, '\0') << QStringList{"0", "1", "2"} << 3;
    QTest::newRow("count 0 keeps list")
        << 0 << QByteArray("\x01", 1) << QStringList{"earlier"} << 0;
    QTest::newRow("flag beyond count")
        << 2 << QByteArray("\x00\x00\x01", 3) << QStringList{"0", "1"} << 2;
}

void TestInformationCenter::deviceInfoDerivesModes()
{
    QFETCH(int, count);
    QFETCH(QByteArray, flags);
    QFETCH(QStringList, modes);
    QFETCH(int, modeNum);

    InformationCenter hub;
    hub.setSupportWorkModel({QStringLiteral("earlier")});
    hub.setWorkMode(5);
    hub.setDeviceInfo(DeviceInfo(deviceRecord(static_cast<quint8>(count), flags).bytes()));
    QCOMPARE(hub.supportWorkModel(), modes);
    QCOMPARE(int(hub.workModeNum()), modeNum);
    QCOMPARE(hub.deviceName(), QStringLiteral("SonarX"));
    QCOMPARE(hub.maxRange(), 60.0f);
    QCOMPARE(int(hub.workMode()), 0);
    QCOMPARE(hub.brightnessBase(), 20);
}

// The mode list and the mode count are stored in opposite orders depending on whether the sonar
// flags its modes; a receiver of either signal sees that difference.
void TestInformationCenter::deviceInfoSignalOrder_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("flags");
    QTest::addColumn<QStringList>("signalNames");

    QTest::newRow("flags 1,0,1") << 3 << QByteArray("\x01\x00\x01", 3)
                                 << QStringList{"deviceNameChanged",  "supportWorkModelChanged",
                                                "workModeNumChanged", "maxRangeChanged",
                                                "workModeChanged",    "brightnessBaseChanged"};
    QTest::newRow("no flag set") << 3 << QByteArray(3, '\0')
                                 << QStringList{"deviceNameChanged",       "workModeNumChanged",
                                                "supportWorkModelChanged", "maxRangeChanged",
                                                "workModeChanged",         "brightnessBaseChanged"};
    QTest::newRow("count 0") << 0 << QByteArray()
                             << QStringList{"deviceNameChanged", "workModeNumChanged",
                                            "maxRangeChanged", "workModeChanged",
                                            "brightnessBaseChanged"};
}

void TestInformationCenter::deviceInfoSignalOrder()
{
    QFETCH(int, count);
    QFETCH(QByteArray, flags);
    QFETCH(QStringList, signalNames);

    InformationCenter hub;
    hub.setWorkMode(5);
    SignalOrder order(&hub);
    const ByteBuilder record = deviceRecord(static_cast<quint8>(count), flags);
    {
        LogCollector log;
        hub.setDeviceInfo(DeviceInfo(record.bytes()));
        QCOMPARE(log.messages(QtDebugMsg), QStringList{QStringLiteral("设置最大距离限制： 60")});
    }
    QCOMPARE(order.m_names, signalNames);

    // The same sonar again changes nothing; with 150 m at entry 0 nothing is logged either.
    order.m_names.clear();
    hub.setDeviceInfo(DeviceInfo(record.bytes()));
    QCOMPARE(order.m_names, QStringList());
    hub.setMaxRange(150.0f);
    order.m_names.clear();
    LogCollector log;
    hub.setDeviceInfo(DeviceInfo(deviceRecord(static_cast<quint8>(count), flags, 150.0f).bytes()));
    QCOMPARE(log.messages(QtDebugMsg), QStringList());
    QCOMPARE(order.m_names, QStringList());
}

void TestInformationCenter::deviceInfoUnusableRange_data()
{
    QTest::addColumn<float>("range");
    QTest::newRow("NaN") << nanF;
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
    QTest::newRow("zero") << 0.0f;
    QTest::newRow("negative") << -60.0f;
}

void TestInformationCenter::deviceInfoUnusableRange()
{
    QFETCH(float, range);

    InformationCenter hub;
    QSignalSpy spy(&hub, &InformationCenter::maxRangeChanged);
    LogCollector warnings;
    hub.setDeviceInfo(DeviceInfo(deviceRecord(3, QByteArray("\x01\x00\x01", 3), range).bytes()));
    QCOMPARE(hub.maxRange(), 150.0f);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(warnings.messages(QtWarningMsg).size(), 1);
    // Everything else of the record is still taken.
    QCOMPARE(hub.supportWorkModel(), (QStringList{"0", "2"}));
    QCOMPARE(hub.brightnessBase(), 20);
}

void TestInformationCenter::updateMaxRange_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<float>("range");
    QTest::addColumn<bool>("warns");

    QTest::newRow("0 again") << 0 << 60.0f << false;
    QTest::newRow("1") << 1 << 110.0f << false;
    QTest::newRow("7, the last entry") << 7 << 170.0f << false;
    QTest::newRow("8, past the table") << 8 << 60.0f << true;
    QTest::newRow("200 from a header") << 200 << 60.0f << true;
    QTest::newRow("-1 from QML") << -1 << 60.0f << true;
}

void TestInformationCenter::updateMaxRange()
{
    QFETCH(int, mode);
    QFETCH(float, range);
    QFETCH(bool, warns);

    InformationCenter hub;
    hub.setDeviceInfo(DeviceInfo(deviceRecord().bytes()));
    QSignalSpy spy(&hub, &InformationCenter::maxRangeChanged);
    LogCollector warnings;
    hub.f_updateMaxRange(mode);
    QCOMPARE(hub.maxRange(), range);
    QCOMPARE(spy.count(), range == 60.0f ? 0 : 1);
    QCOMPARE(warnings.messages(QtWarningMsg).size(), warns ? 1 : 0);
}

void TestInformationCenter::updateMaxRangeBeforeAnyDevice()
{
    InformationCenter hub;
    QSignalSpy spy(&hub, &InformationCenter::maxRangeChanged);
    for (int mode : {0, 3, 7, 8})
        hub.f_updateMaxRange(mode);
    QCOMPARE(hub.maxRange(), 150.0f);
    QCOMPARE(spy.count(), 0);

    // A stored entry that holds no usable range is not applied either.
    ByteBuilder record = deviceRecord();
    record.put<float>(128 + 96 * 2 + 56, nanF);
    hub.setDeviceInfo(DeviceInfo(record.bytes()));
    spy.clear();
    hub.f_updateMaxRange(2);
    QCOMPARE(hub.maxRange(), 60.0f);
    QCOMPARE(spy.count(), 0);
}

void TestInformationCenter::fileStatusSlots()
{
    InformationCenter hub;
    QSignalSpy spy(&hub, &InformationCenter::fileStatusChanged);
    hub.f_setFileStatusNone();
    hub.f_setFileStatusNone();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(hub.m_fileStatus(), FileStatus::None);
    hub.f_setFileStatusSaving();
    hub.f_setFileStatusSaving();
    QCOMPARE(spy.count(), 4);
    QCOMPARE(hub.m_fileStatus(), FileStatus::Saving);
    // The WRITE accessor, unlike the slots, follows the change rule.
    hub.setFileStatus(FileStatus::Saving);
    QCOMPARE(spy.count(), 4);
}

void TestInformationCenter::fileStatusSwitchIsLogged_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("toReading");
    QTest::addColumn<QString>("log");

    QTest::newRow("saving to reading")
        << int(FileStatus::Saving) << true
        << QStringLiteral(
               "InformationCenter::f_setFileStatusReading 严重错误，正在保存文件直接切换到读文件");
    QTest::newRow("none to reading") << int(FileStatus::None) << true << QString();
    QTest::newRow("reading to reading") << int(FileStatus::Reading) << true << QString();
    QTest::newRow("reading to saving")
        << int(FileStatus::Reading) << false
        << QStringLiteral(
               "InformationCenter::f_setFileStatusSaving 严重错误，正在读文件直接切换到保存文件");
    QTest::newRow("none to saving") << int(FileStatus::None) << false << QString();
}

void TestInformationCenter::fileStatusSwitchIsLogged()
{
    QFETCH(int, from);
    QFETCH(bool, toReading);
    QFETCH(QString, log);

    InformationCenter hub;
    hub.setFileStatus(static_cast<FileStatus>(from));
    QSignalSpy spy(&hub, &InformationCenter::fileStatusChanged);
    LogCollector debug;
    if (toReading)
        hub.f_setFileStatusReading();
    else
        hub.f_setFileStatusSaving();
    QCOMPARE(hub.m_fileStatus(), toReading ? FileStatus::Reading : FileStatus::Saving);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(debug.messages(QtDebugMsg), log.isEmpty() ? QStringList() : QStringList{log});
}

void TestInformationCenter::statusTestsIgnoreArgument()
{
    // Called the way QML calls them, through the meta-object, with a stale argument.
    InformationCenter hub;
    const auto fileTest = [&hub](const char *slot, FileStatus argument) {
        bool result = false;
        const bool called =
            QMetaObject::invokeMethod(&hub, slot, Qt::DirectConnection, Q_RETURN_ARG(bool, result),
                                      Q_ARG(InformationCenter::FileStatus, argument));
        return called ? int(result) : -1;
    };
    const auto connectTest = [&hub](const char *slot, ConnectStatus argument) {
        bool result = false;
        const bool called =
            QMetaObject::invokeMethod(&hub, slot, Qt::DirectConnection, Q_RETURN_ARG(bool, result),
                                      Q_ARG(InformationCenter::ConnectStatus, argument));
        return called ? int(result) : -1;
    };
    hub.f_setFileStatusReading();
    QCOMPARE(fileTest("f_fileStatusIsReading", FileStatus::None), 1);
    QCOMPARE(fileTest("f_filestatusIsNone", FileStatus::None), 0);
    QCOMPARE(fileTest("f_fileStatusIsSaving", FileStatus::Saving), 0);

    hub.f_setConnectStatusTryConnect();
    QCOMPARE(connectTest("f_connectStatusIsTryConnect", ConnectStatus::None), 1);
    QCOMPARE(connectTest("f_connectStatusIsNone", ConnectStatus::None), 0);
    QCOMPARE(connectTest("f_connnectStatusIsConnected", ConnectStatus::Connected), 0);
}

void TestInformationCenter::connectStatusSlots()
{
    InformationCenter hub;
    QSignalSpy spy(&hub, &InformationCenter::connectStatusChanged);
    hub.f_setConnectStatusConnected();
    hub.f_setConnectStatusConnected();
    QCOMPARE(hub.m_connectStatus(), ConnectStatus::Connected);
    QVERIFY(hub.f_connnectStatusIsConnected(ConnectStatus::None));
    hub.f_setConnectStatusNone();
    hub.f_setConnectStatusNone();
    QCOMPARE(hub.m_connectStatus(), ConnectStatus::None);
    QCOMPARE(spy.count(), 4);
}

// The suggestion starts a file name: its date is Gregorian with ASCII digits, whatever locale the
// program runs under (Arabic-Indic digits and a solar calendar would be the locale's own).
void TestInformationCenter::clipboardSuggestion_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("locale");
    QTest::newRow("named") << QStringLiteral("KXS-6204") << QStringLiteral("C");
    QTest::newRow("no name yet") << QString() << QStringLiteral("C");
    QTest::newRow("Arabic locale") << QStringLiteral("KXS-6204") << QStringLiteral("ar_EG");
    QTest::newRow("Persian locale") << QStringLiteral("KXS-6204") << QStringLiteral("fa_IR");
}

void TestInformationCenter::clipboardSuggestion()
{
    QFETCH(QString, device);
    QFETCH(QString, locale);

    const QLocale previous;
    QLocale::setDefault(QLocale(locale));
    const auto restore = qScopeGuard([&previous] { QLocale::setDefault(previous); });

    InformationCenter hub;
    hub.setDeviceName(device);
    const QDate before = QDate::currentDate();
    LogCollector debug;
    hub.f_setSaveFileNameToClipboard();
    const QDate after = QDate::currentDate();

    const QString text = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
    // The date is written with ASCII digits whatever the locale; allow for midnight.
    QStringList expected;
    for (const QDate &date : {before, after}) {
        const QString digits =
            QString::asprintf("%04d%02d%02d", date.year(), date.month(), date.day());
        expected.append(device + '_' + digits + '_');
    }
    QVERIFY2(expected.contains(text), qPrintable(text));
    QCOMPARE(debug.messages(QtDebugMsg), QStringList{"复制到剪贴板的值： " + text});
}

QTEST_MAIN(TestInformationCenter)
#include "tst_informationcenter.moc"
