import QtQuick
import QtTest
import InformationCenter.module 1.0
import "qrc:/qmlsource"

TestCase {
    id: c_test
    name: "StatusBars"
    width: 1080
    height: 800
    visible: true
    when: windowShown

    Component { id: c_hubComponent; InformationCenter {} }
    Component { id: c_standInsComponent; StandIns {} }
    Component { id: c_barComponent; QtObject { property bool m_isConnected: false } }
    Component {
        id: c_footerComponent
        MainWindowFooter { y: 770; width: 1080; m_userType: ""; m_versionNum: "V5.3"; m_buildTime: "20260814" }
    }
    Component { id: c_statusComponent; SonarStatusMsg {} }

    property var hub
    property var standIns
    property var bar

    function init() {
        hub = createTemporaryObject(c_hubComponent, c_test);
        standIns = createTemporaryObject(c_standInsComponent, c_test, { hub: hub });
        bar = createTemporaryObject(c_barComponent, c_test);
    }
    function makeFooter() {
        var footer = createTemporaryObject(c_footerComponent, c_test,
                                           { infoCenter: hub, functionBtn: bar, languageSet: standIns.languageSet });
        verify(footer);
        return footer;
    }

    function test_tipsKeepTheNewest51() {
        var footer = makeFooter();
        var list = findChild(footer, "tipsList");
        for (var i = 1; i <= 52; ++i)
            footer.f_addTipsText("tip " + i);
        compare(list.count, 51);
        compare(list.model.get(0).m_msg, "tip 2");
        compare(list.model.get(50).m_msg, "tip 52");
        footer.f_addTipsText("tip 53");
        compare(list.count, 51);
        compare(list.model.get(0).m_msg, "tip 3");
    }

    function test_moreButtonOpensFiveLines() {
        var footer = makeFooter();
        var list = findChild(footer, "tipsList");
        for (var i = 0; i < 8; ++i)
            footer.f_addTipsText("tip " + i);
        mouseClick(findChild(footer, "moreButton"));
        compare(list.height, 150);
        compare(list.y + list.height, footer.height, "it grows upwards from the footer's bottom");
        mouseClick(findChild(footer, "moreButton"));
        compare(list.height, 30);
        verify(list.atYEnd);
    }

    function test_fileStatusText_data() {
        return [
            { tag: "none", status: "None", text: "" },
            { tag: "replaying", status: "Reading", text: "回放中" },
            { tag: "recording", status: "Saving", text: "保存中" }
        ];
    }
    function test_fileStatusText(data) {
        var footer = makeFooter();
        if (data.status === "Reading")
            hub.f_setFileStatusReading();
        else if (data.status === "Saving")
            hub.f_setFileStatusSaving();
        compare(findChild(footer, "fileStatusText").text, data.text);
    }

    function test_connectionAndVersionTexts() {
        var footer = makeFooter();
        compare(findChild(footer, "connectText").text, "未连接");
        bar.m_isConnected = true;
        compare(findChild(footer, "connectText").text, "已连接");
        compare(findChild(footer, "versionText").text, " V5.3 20260814");
        compare(footer.height, 30);
    }

    function test_languageButton() {
        var footer = makeFooter();
        verify(!footer.isEnOrCn);
        var button = findChild(footer, "languageButton");
        verify(String(button.icon.source).endsWith("cn.svg"));
        mouseClick(button);
        verify(footer.isEnOrCn);
        compare(standIns.languageSet.calls, ["en_US"]);
        verify(String(button.icon.source).endsWith("en.svg"));
        mouseClick(button);
        compare(standIns.languageSet.calls, ["en_US", "zh_CN"]);

        standIns.languageSet.current = "en_US";
        var second = makeFooter();
        verify(second.isEnOrCn, "the flag starts from the current language");
    }

    function test_statusBox() {
        var box = createTemporaryObject(c_statusComponent, c_test, { infoCenter: hub });
        hub.deviceName = "SIM";
        hub.dstIp = "10.0.0.5";
        hub.brightness = 7;
        hub.gamma = 1.4;
        hub.maxDist = 12.5;
        hub.vez25EDirectionAngle = 0.9;
        hub.direction = 123.456;
        compare(findChild(box, "deviceNameText").text, "SIM");
        verify(!findChild(box, "dstIpText").visible);
        hub.connectOK = true;
        verify(findChild(box, "dstIpText").visible);
        compare(findChild(box, "dstIpText").text, "10.0.0.5");
        compare(findChild(box, "frameText").text, "帧号：0");
        compare(findChild(box, "brightnessText").text, "亮度：7");
        compare(findChild(box, "gammaText").text, "对比度：1.4");
        compare(findChild(box, "rangeText").text, "量程：12.5");
        compare(findChild(box, "stepText").text, "步进：0.9");
        compare(findChild(box, "directionText").text, "theta 角度：123.46");
        compare(findChild(box, "frameText").font.pixelSize, 18);
        compare(box.x, -8);
    }
}
