#include "app/InformationCenter.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The front end binds to the hub by name only: property reads, change handlers (including the
// one for m_connectStatus, whose signal is connectStatusChanged), enum values, slot calls and
// writes from QML.

namespace {

const char *frontEnd = R"(
import QtQml
import InformationCenter.module 1.0

InformationCenter {
    id: c
    objectName: "c_cppInformationCenter"
    property int connectHandlerCalls: 0
    property int workModeHandlerCalls: 0
    onM_connectStatusChanged: connectHandlerCalls++
    onWorkModeChanged: workModeHandlerCalls++

    property real range: maxRange
    property int blankValue: blank
    property double frame: frameSerialNum
    property double utc: utcTime
    property string host: hostIp
    property bool reading: f_fileStatusIsReading(m_fileStatus)
    property bool connected: m_connectStatus === InformationCenter.Connected
    property bool replaying: m_fileStatus === InformationCenter.Reading

    function sendCommand(text) { str_cmd = text }
    function chooseGamma(value) { targetGamma = value }
}
)";

} // namespace

class TestInformationCenterQml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frontEndBindsByName();

private:
    QQmlEngine m_engine;
};

void TestInformationCenterQml::initTestCase()
{
    qmlRegisterType<InformationCenter>("InformationCenter.module", 1, 0, "InformationCenter");
}

void TestInformationCenterQml::frontEndBindsByName()
{
    QQmlComponent component(&m_engine);
    component.setData(frontEnd, QUrl(QStringLiteral("qrc:/hub-test.qml")));
    std::unique_ptr<QObject> root(component.create());
    QVERIFY2(root, qPrintable(component.errorString()));
    auto *hub = qobject_cast<InformationCenter *>(root.get());
    QVERIFY(hub);

    QCOMPARE(root->property("range").toDouble(), 150.0);
    QCOMPARE(root->property("blankValue").toInt(), 1);
    QCOMPARE(root->property("host").toString(), QStringLiteral("127.0.0.1"));

    packageInfo head;
    head.frameSerialNum = 4000000000u;
    head.utcTime = 1755000000123ULL;
    head.workMode = 2;
    hub->updateFromPackageInfo(head);
    QCOMPARE(root->property("frame").toDouble(), 4000000000.0);
    QCOMPARE(root->property("utc").toDouble(), 1755000000123.0);
    QCOMPARE(root->property("workModeHandlerCalls").toInt(), 1);

    hub->f_setFileStatusReading();
    QVERIFY(root->property("reading").toBool());
    QVERIFY(root->property("replaying").toBool());
    hub->f_setConnectStatusConnected();
    QVERIFY(root->property("connected").toBool());
    hub->f_setConnectStatusConnected();
    QCOMPARE(root->property("connectHandlerCalls").toInt(), 2);

    QSignalSpy commands(hub, &InformationCenter::str_cmdChanged);
    QMetaObject::invokeMethod(root.get(), "sendCommand",
                              Q_ARG(QVariant, QStringLiteral("0x06接0x01")));
    QMetaObject::invokeMethod(root.get(), "sendCommand",
                              Q_ARG(QVariant, QStringLiteral("0x06接0x01")));
    QCOMPARE(commands.count(), 2);
    QMetaObject::invokeMethod(root.get(), "chooseGamma", Q_ARG(QVariant, 2.2));
    QCOMPARE(hub->targetGamma(), 2.2);
}

QTEST_MAIN(TestInformationCenterQml)
#include "tst_informationcenter_qml.moc"
