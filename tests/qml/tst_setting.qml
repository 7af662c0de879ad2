import QtQuick
import QtTest
import InformationCenter.module 1.0
import "qrc:/qmlsource"
import "qrc:/qmlsource/MyStyle"

TestCase {
    id: c_test
    name: "Setting"
    width: 800
    height: 800
    visible: true
    when: windowShown

    Component { id: c_hubComponent; InformationCenter {} }
    Component { id: c_standInsComponent; StandIns {} }
    Component { id: c_barComponent; QtObject { property bool m_isConnected: true; property bool m_start: false } }
    Component { id: c_dialogComponent; WarnMsgDialog { width: 300; height: 240 } }
    Component { id: c_settingComponent; Setting { height: 720 } }
    Component { id: c_spyComponent; SignalSpy {} }

    property var hub
    property var standIns
    property var bar
    property var dialog
    property var panel

    function init() {
        hub = createTemporaryObject(c_hubComponent, c_test);
        standIns = createTemporaryObject(c_standInsComponent, c_test, { hub: hub });
        bar = createTemporaryObject(c_barComponent, c_test);
        dialog = createTemporaryObject(c_dialogComponent, c_test, { infoCenter: hub });
        panel = createTemporaryObject(c_settingComponent, c_test, {
            infoCenter: hub, cmdDialog: standIns.cmdDialog, functionBtn: bar, warnDialog: dialog
        });
        panel.visible = true;
        waitForRendering(panel);
    }
    function child(name) {
        var found = findChild(panel, name);
        verify(found, name);
        return found;
    }
    function spy(signalName) {
        return createTemporaryObject(c_spyComponent, c_test, { target: hub, signalName: signalName });
    }

    function test_commands_data() {
        return [
            { tag: "range 12.5", fields: { maxDistEdit: "12.5" }, button: "maxDistButton", command: "0x09接0x00接0x00接0x48接0x41" },
            { tag: "sound speed 1500", fields: { velocityEdit: "1500" }, button: "velocityButton", command: "0x14接0x00接0x80接0xbb接0x44" },
            { tag: "centre frequency 200 kHz", fields: { realFcEdit: "200" }, button: "realFcButton", command: "0x8a接0x00接0x50接0x43接0x48" },
            { tag: "work cycle 0.5", fields: { workCycleEdit: "0.5" }, button: "workCycleButton", command: "0x02接0x00接0x00接0x00接0x3f" },
            { tag: "scan step 0.9", fields: { stepEdit: "0.9" }, button: "stepButton", command: "0x0F接0x66接0x66接0x66接0x3f" },
            { tag: "power 100", fields: { powerEdit: "100" }, button: "powerButton", command: "0x10接0x64" },
            { tag: "power 5", fields: { powerEdit: "5" }, button: "powerButton", command: "0x10接0x5" },
            { tag: "power 255", fields: { powerEdit: "255" }, button: "powerButton", command: "0x10接0xFF" },
            { tag: "power automatic", fields: {}, button: "powerAutoButton", command: "0x10接0xff" },
            { tag: "manual TVG", fields: { tvgAEdit: "1", tvgBEdit: "2", tvgCEdit: "3" }, button: "tvgButton",
              command: "0x17接0x00接0x00接0x80接0x3f接0x00接0x00接0x00接0x40接0x00接0x00接0x40接0x40" },
            { tag: "version", fields: {}, button: "versionButton", command: "0x4E" },
            // An empty or unparsable field sends nothing at all, never a NaN.
            { tag: "empty range", fields: { maxDistEdit: "" }, button: "maxDistButton", command: null },
            { tag: "empty frequency", fields: { realFcEdit: "" }, button: "realFcButton", command: null },
            { tag: "unparsable sound speed", fields: { velocityEdit: "." }, button: "velocityButton", command: null },
            { tag: "one TVG field empty", fields: { tvgAEdit: "1", tvgBEdit: "", tvgCEdit: "3" }, button: "tvgButton", command: null },
            { tag: "empty power", fields: { powerEdit: "" }, button: "powerButton", command: null },
            // A header byte shown unedited that is no power the sonar takes.
            { tag: "power 200 from the header", fields: {}, power: 200, button: "powerButton", command: null },
            { tag: "power 60 from the header", fields: {}, power: 60, button: "powerButton", command: "0x10接0x3C" }
        ];
    }
    function test_commands(data) {
        if (data.power !== undefined)
            hub.power = data.power;
        for (var name in data.fields)
            child(name).text = data.fields[name];
        mouseClick(child(data.button));
        compare(standIns.commands, data.command === null ? [] : [data.command]);
    }

    function test_tvgCommandHasThirteenTokens() {
        mouseClick(child("tvgButton"));
        compare(standIns.commands.length, 1);
        compare(standIns.commands[0].split("接").length, 13);
    }

    function test_speedSetsTheHubOnly() {
        child("speedEdit").text = "2.5";
        mouseClick(child("speedButton"));
        compare(hub.speedMove, 2.5);
        child("speedEdit").text = "";
        mouseClick(child("speedButton"));
        compare(hub.speedMove, 2.5, "an empty field changes nothing");
        compare(standIns.commands, []);
    }

    // Each field follows its own hub property, with its own number of decimals.
    function test_fieldsShowTheSonarValues_data() {
        return [
            { tag: "speed", property: "speed", value: 1.23456, field: "speedEdit", shown: "1.23" },
            { tag: "range", property: "maxDist", value: 12.3456, field: "maxDistEdit", shown: "12.35" },
            { tag: "range, whole", property: "maxDist", value: 12.5, field: "maxDistEdit", shown: "12.5" },
            { tag: "TVG A", property: "TVGA", value: 1.23456, field: "tvgAEdit", shown: "1.2346" },
            { tag: "TVG B", property: "TVGB", value: 2.5, field: "tvgBEdit", shown: "2.5" },
            { tag: "TVG C", property: "TVGC", value: 3.14159, field: "tvgCEdit", shown: "3.1416" },
            { tag: "centre frequency in kHz", property: "realFc", value: 201234, field: "realFcEdit", shown: "201.234" },
            { tag: "power", property: "power", value: 200, field: "powerEdit", shown: "200" },
            { tag: "work cycle", property: "workCycle", value: 0.123456, field: "workCycleEdit", shown: "0.123" },
            { tag: "sound speed", property: "acousticVelocity", value: 1500.256, field: "velocityEdit", shown: "1500.26" },
            { tag: "scan step", property: "vez25EDirectionAngle", value: 0.91234, field: "stepEdit", shown: "0.9123" },
            { tag: "static address", property: "dstIp", value: "10.0.0.5", field: "staticIpEdit", shown: "10.0.0.5" }
        ];
    }
    function test_fieldsShowTheSonarValues(data) {
        hub[data.property] = data.value;
        compare(child(data.field).text, data.shown);
        compare(standIns.commands, [], "values from the sonar send nothing");
    }

    // The button takes no focus: the field being edited keeps it and its typed text is sent.
    function test_typedTextWinsOverTheShownValue() {
        var edit = child("maxDistEdit");
        edit.forceActiveFocus();
        edit.text = "12.5";
        hub.maxDist = 3;
        compare(edit.text, "12.5");
        mouseClick(child("maxDistButton"));
        verify(edit.activeFocus);
        compare(standIns.commands, ["0x09接0x00接0x00接0x48接0x41"]);
        child("speedEdit").forceActiveFocus();
        compare(edit.text, "3", "without the focus the field shows the sonar's value again");
    }

    function test_powerEditValidation_data() {
        return [
            { tag: "100", keys: "100", valid: true },
            { tag: "0", keys: "0", valid: true },
            { tag: "255", keys: "255", valid: true },
            { tag: "101", keys: "101", valid: false },
            { tag: "leading zero", keys: "05", valid: false },
            { tag: "fraction", keys: "5.5", valid: false }
        ];
    }
    function test_powerEditValidation(data) {
        var edit = child("powerEdit");
        edit.forceActiveFocus();
        edit.selectAll();
        for (var i = 0; i < data.keys.length; ++i)
            keyClick(data.keys[i]);
        compare(edit.text, data.keys);
        compare(edit.color, data.valid ? "#0000ff" : "#ff0000");
        compare(child("powerButton").enabled, data.valid);
        compare(child("powerAutoButton").enabled, data.valid);
    }

    function test_enabledStates_data() {
        return [
            { tag: "connected", connected: true, scanning: false, send: true, query: true },
            { tag: "scanning", connected: true, scanning: true, send: true, query: false },
            { tag: "not connected", connected: false, scanning: false, send: false, query: false }
        ];
    }
    function test_enabledStates(data) {
        bar.m_isConnected = data.connected;
        bar.m_start = data.scanning;
        ["maxDistButton", "tvgButton", "realFcButton", "powerButton", "powerAutoButton", "workCycleButton",
         "velocityButton", "stepButton", "staticIpButton", "sigModelBox"].forEach(function (name) {
            compare(child(name).enabled, data.send, name);
        });
        compare(child("versionButton").enabled, data.query);
        compare(child("upgradeButton").enabled, data.query);
        ["speedButton", "fpgaReadButton", "fpgaWriteButton"].forEach(function (name) {
            verify(child(name).enabled, name);
        });
    }

    function test_versionQuery() {
        mouseClick(child("versionButton"));
        compare(standIns.commands, ["0x4E"]);
        verify(hub.versionReturn);
    }

    function test_fpgaAndUpgradeCallTheChannel() {
        child("fpgaReadAddrEdit").text = "0010";
        mouseClick(child("fpgaReadButton"));
        child("fpgaWriteAddrEdit").text = "10";
        child("fpgaWriteValueEdit").text = "FF";
        mouseClick(child("fpgaWriteButton"));
        mouseClick(child("upgradeButton"));
        compare(standIns.cmdDialog.calls, [["fReadFpga", "0010"], ["fWriteFpga", "10", "FF"], ["updateApp"]]);
        standIns.cmdDialog.sigReadFpgaText("12 34 56 78");
        compare(child("fpgaReadText").text, "12 34 56 78");
        compare(child("fpgaReadButton").text, "读fpga");
        compare(child("fpgaReadAddrEdit").placeholderText, "地址");
    }

    function test_signalModeFollowsTheSonarAndSendsOnChoice() {
        var box = child("sigModelBox");
        hub.sigModel = 5;
        compare(box.currentIndex, 2);
        hub.sigModel = 6;
        compare(box.currentIndex, 3);
        hub.sigModel = 3;
        compare(box.currentIndex, 3, "an unknown mode leaves the entry");
        hub.sigModel = 0;
        compare(box.currentIndex, 0);
        compare(standIns.commands, [], "following the sonar sends nothing");

        mouseClick(box);
        tryVerify(function () { return box.popup.opened; }, 5000);
        tryVerify(function () { return box.popup.contentItem.itemAtIndex(1) !== null; }, 5000);
        var entry = box.popup.contentItem.itemAtIndex(1);
        mouseClick(entry);
        compare(standIns.commands, ["0x11接0x01"]);
        compare(box.currentIndex, 1);
    }

    function test_staticAddress_data() {
        return [
            { tag: "three parts", text: "10.0.0", message: "ip地址格式错误，例如：192.168.1.100", address: "" },
            { tag: "octet above 255", text: "10.0.0.300", message: "ip地址格式错误，例如：192.168.1.100", address: "" },
            { tag: "valid", text: "192.168.1.222", message: "此操作会修改声纳设备的ip！", address: "192.168.1.222" }
        ];
    }
    function test_staticAddress(data) {
        var tips = spy("sigTipsCMD");
        child("staticIpEdit").text = data.text;
        mouseClick(child("staticIpButton"));
        tryVerify(function () { return dialog.opened; }, 5000);
        compare(dialog.m_text, data.message);
        compare(dialog.m_sonarDefaultIp, data.address);

        mouseClick(findChild(dialog, "okButton"));
        tryVerify(function () { return !dialog.visible; }, 5000);
        compare(dialog.m_sonarDefaultIp, "");
        compare(standIns.commands, []);
        if (data.address === "") {
            compare(tips.count, 0);
        } else {
            compare(tips.count, 1, "the operator learns that the sonar offers no such setting");
            verify(tips.signalArguments[0][0].indexOf(data.address) >= 0);
        }
    }

    function test_staticAddressFieldKeepsAnAddressShape_data() {
        return [
            { tag: "fourth point", text: "1.2.3.4.", result: "1.2.3.4" },
            { tag: "letters", text: "10a.0", result: "10.0" }
        ];
    }
    function test_staticAddressFieldKeepsAnAddressShape(data) {
        var edit = child("staticIpEdit");
        edit.forceActiveFocus();
        edit.text = data.text;
        compare(edit.text, data.result);
    }

    // The buttons of the rows stand in one column at the right edge of the rows.
    function test_buttonsLineUpAtTheRight() {
        var list = child("settingList");
        var rowRight = list.contentItem.mapToItem(panel, 0, 0).x + panel.m_workingParameters.m_rowWidth;
        ["speedButton", "maxDistButton", "tvgButton", "realFcButton", "powerAutoButton", "workCycleButton",
         "velocityButton", "stepButton", "staticIpButton", "versionButton", "fpgaReadButton", "fpgaWriteButton",
         "upgradeButton"].forEach(function (name) {
            var button = child(name);
            fuzzyCompare(button.mapToItem(panel, button.width, 0).x, rowRight, 0.5, name);
        });
    }

    function test_panelFrame() {
        compare(panel.width, 400);
        compare(panel.z, 9999999);
        panel.visible = false;
        child("maxDistEdit").forceActiveFocus();
        panel.visible = true;
        verify(!child("maxDistEdit").activeFocus, "a reopened panel shows the bound values");
        mouseClick(child("closeMark"));
        verify(!panel.visible);
    }
}
