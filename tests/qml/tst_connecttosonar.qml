import QtQuick
import QtTest
import InformationCenter.module 1.0
import "qrc:/qmlsource/FunctionBtnContent"

TestCase {
    id: c_test
    name: "ConnectToSonar"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component { id: c_hubComponent; InformationCenter {} }
    Component { id: c_barComponent; QtObject { property bool m_isSearchingOrTryConnecting: true } }
    Component { id: c_panelComponent; ConnectToSonar {} }
    Component { id: c_spyComponent; SignalSpy {} }

    property var hub
    property var bar
    property var panel

    function init() {
        hub = createTemporaryObject(c_hubComponent, c_test);
        bar = createTemporaryObject(c_barComponent, c_test);
        panel = createTemporaryObject(c_panelComponent, c_test, { infoCenter: hub, functionBtn: bar });
        panel.visible = true;
    }
    function spy(signalName) {
        return createTemporaryObject(c_spyComponent, c_test, { target: hub, signalName: signalName });
    }
    function child(name) {
        var found = findChild(panel, name);
        verify(found, name);
        return found;
    }

    function test_shownPanel() {
        verify(panel.m_searching);
        verify(!panel.m_tryConnecting);
        verify(child("c_connectIpEdit").activeFocus);
        compare(child("c_searchStatusText").text, "搜索中");
        compare(child("c_searchBtn").text, "停止");
        verify(child("c_searchBtn").checked);
        compare(child("c_connectSonarBtn").text, "连接");
        compare(panel.width, 650);
        compare(panel.height, 450);
    }

    function test_addressField_data() {
        return [
            { tag: "valid", text: "192.168.1.100", colour: "#000000", connects: true },
            { tag: "three parts", text: "192.168.1", colour: "#ff0000", connects: false },
            { tag: "octet above 255", text: "999.1.1.1", colour: "#ff0000", connects: false },
            { tag: "letters", text: "sonar", colour: "#ff0000", connects: false }
        ];
    }
    function test_addressField(data) {
        var connecting = spy("sigConnecting");
        var tips = spy("sigTipsCMD");
        var edit = child("c_connectIpEdit");
        edit.text = data.text;
        compare(edit.color, data.colour);
        mouseClick(child("c_connectSonarBtn"));
        if (data.connects) {
            compare(connecting.count, 1);
            compare(connecting.signalArguments[0][0], true);
            compare(connecting.signalArguments[0][1], data.text);
            verify(panel.m_tryConnecting);
            verify(!edit.enabled);
            compare(child("c_searchStatusText").text, "连接中");
            compare(child("c_connectSonarBtn").text, "停止");
            compare(tips.count, 0);
        } else {
            compare(connecting.count, 0);
            verify(!panel.m_tryConnecting);
            compare(tips.count, 1);
            compare(tips.signalArguments[0][0], "警告：ip 地址格式错误,例如：192.168.1.100");
        }
    }

    function test_cancelConnecting() {
        var connecting = spy("sigConnecting");
        child("c_connectIpEdit").text = "10.0.0.7";
        mouseClick(child("c_connectSonarBtn"));
        mouseClick(child("c_connectSonarBtn"));
        compare(connecting.count, 2);
        compare(connecting.signalArguments[1][0], false);
        compare(connecting.signalArguments[1][1], "10.0.0.7");
        verify(!panel.m_tryConnecting);
    }

    // The device search answers a connection request at once, failure included: the panel must
    // not be left "connecting" after a failure reported inside the request.
    function test_failureReportedDuringTheRequest() {
        var failer = createTemporaryObject(c_failerComponent, c_test, { target: hub });
        child("c_connectIpEdit").text = "10.0.0.7";
        mouseClick(child("c_connectSonarBtn"));
        verify(failer.requests > 0);
        verify(!panel.m_tryConnecting);
        compare(child("c_connectSonarBtn").text, "连接");
    }
    Component {
        id: c_failerComponent
        Connections {
            property int requests: 0
            function onSigConnecting(inConnecting, inIp) {
                ++requests;
                if (inConnecting)
                    target.sigTryConnectFailed(inIp);
            }
        }
    }

    function test_searchButtonToggles() {
        var searching = spy("sigSearching");
        var button = child("c_searchBtn");
        mouseClick(button);
        verify(!panel.m_searching);
        verify(!child("c_searchStatusText").visible);
        compare(button.text, "查找");
        compare(searching.signalArguments[0][0], false);
        mouseClick(button);
        verify(panel.m_searching);
        verify(child("c_searchStatusText").visible);
        compare(searching.signalArguments[1][0], true);
    }

    function test_publishedRowsFillAnEmptyField() {
        var edit = child("c_connectIpEdit");
        hub.searchedNameAndIp = ["SIM-A\n10.0.0.5", "SIM-B\n10.0.0.6"];
        compare(edit.text, "10.0.0.5");
        var list = child("c_searchedDevList");
        compare(list.count, 2);
        compare(list.itemAtIndex(0).height, 80);

        edit.text = "10.0.0.9";
        hub.searchedNameAndIp = ["SIM-C\n10.0.0.7"];
        compare(edit.text, "10.0.0.9", "a typed address stays");

        hub.searchedNameAndIp = ["SIM-A\n10.0.0.5", "SIM-B\n10.0.0.6"];
        mouseClick(list.itemAtIndex(1));
        compare(list.currentIndex, 1);
        compare(edit.text, "10.0.0.6");
        compare(edit.color, "#000000");
    }

    function test_hidingSwitchesTheSearchOff() {
        var create = spy("sigCreateSearchThread");
        var status = spy("connectStatusChanged");
        child("c_connectIpEdit").text = "10.0.0.7";
        mouseClick(child("c_connectSonarBtn"));
        mouseClick(child("closeMark"));
        verify(!panel.visible);
        compare(status.count, 1, "the close mark sets the status None");
        compare(create.count, 1);
        compare(create.signalArguments[0][0], false);
        verify(!bar.m_isSearchingOrTryConnecting);
        verify(!panel.m_tryConnecting);

        panel.visible = true;
        verify(panel.m_searching);
        verify(!panel.m_tryConnecting);
    }
}
