import QtQuick
import QtTest

// The main window as the program loads it, with the program's native types: its layout at the
// start size and its reactions to the state hub and the command channel.
TestCase {
    id: c_test
    name: "Window"
    when: windowShown

    property var window
    property var hub
    property var cmd
    property var view

    Component { id: c_spyComponent; SignalSpy {} }

    function initTestCase() {
        var component = Qt.createComponent("qrc:/qmlsource/main.qml");
        compare(component.status, Component.Ready, component.errorString());
        window = component.createObject(null);
        verify(window);
        hub = find("c_cppInformationCenter");
        cmd = find("c_cppCmdDialog");
        view = find("c_cppShowPoint");
        tryVerify(function () { return window.active || window.visible; }, 5000);
        waitForRendering(window.contentItem);
    }
    function cleanupTestCase() {
        window.destroy();
    }
    function find(name) {
        var found = findChild(window.contentItem, name) || findChild(window, name);
        verify(found, name);
        return found;
    }
    function spy(target, signalName) {
        return createTemporaryObject(c_spyComponent, c_test, { target: target, signalName: signalName });
    }
    function lastTip() {
        var list = findChild(window.footer, "tipsList");
        return list.count > 0 ? list.model.get(list.count - 1).m_msg : "";
    }
    function sceneRect(item) {
        var p = item.mapToItem(null, 0, 0);
        return [p.x, p.y, item.width, item.height];
    }

    function test_layoutAtTheStartSize_data() {
        return [
            { tag: "sector image", name: "c_cppShowImage", rect: [33.25, 77, 581.5, 581.5] },
            { tag: "range canvas", name: "scale", rect: [33.25, 77, 581.5, 581.5] },
            { tag: "mask", name: "cover", rect: [33.25, 77, 581.5, 581.5] },
            { tag: "function buttons", name: "c_functionBtn", rect: [0, 0, 270, 38.5] },
            { tag: "divider", name: "rec1", rect: [648, 0, 3, 770] },
            { tag: "brightness", name: "qml_brightness2D", rect: [0, 770 - 58.15, 116.3, 58.15] },
            { tag: "step", name: "qml_theta", rect: [3 * 116.3, 770 - 58.15, 116.3, 58.15] },
            { tag: "replay slider", name: "palyBackSlider", rect: [243, 77 + 581.5 + 15, 162, 40] },
            { tag: "status box", name: "c_ConnectStatusMsg", rect: [-8, 48.5] }
        ];
    }
    function test_layoutAtTheStartSize(data) {
        compare(window.width, 1080);
        compare(window.height, 800);
        var rect = sceneRect(find(data.name));
        for (var i = 0; i < data.rect.length; ++i)
            fuzzyCompare(rect[i], data.rect[i], 0.01, data.name + " " + i);
    }

    function test_footer() {
        compare(window.footer.height, 30);
        compare(findChild(window.footer, "versionText").text, " V5.3 20260814");
        compare(window.title, "Korvessa");
    }

    function test_tipsFromHubAndChannel() {
        hub.sigTipsCMD("from the hub");
        compare(lastTip(), "from the hub");
        cmd.sig_cmdMsg("from the channel");
        compare(lastTip(), "from the channel");
    }

    function test_messageDialog() {
        var dialog = find("c_warnMsgDialog");
        hub.sigTipsDialog("Title", "Text");
        tryVerify(function () { return dialog.opened; }, 5000);
        compare(dialog.title, "Title");
        compare(dialog.m_text, "Text");
        dialog.close();
        tryVerify(function () { return !dialog.visible; }, 5000);
    }

    function test_busyMaskLiftedByTheChannel() {
        var mask = find("c_forbiddenMask");
        mask.visible = true;
        cmd.sigCloseForbiddenMask();
        verify(!mask.visible);
    }

    // The maximum range follows the connected sonar's table for the work mode in the header,
    // except during a replay and for a work mode the table does not have.
    function test_connectionStatusAndWorkMode() {
        var panel = find("c_connectToSonar");
        testSupport.giveDeviceInfo(hub, "SIM", [50, 100, 150, 200, 250, 300, 350, 400]);
        compare(hub.maxRange, 50);
        panel.visible = true;
        hub.f_setConnectStatusConnected();
        verify(!panel.visible);
        compare(lastTip(), "已连接SIM");

        hub.workMode = 2;
        compare(hub.maxRange, 150);
        hub.f_setFileStatusReading();
        hub.workMode = 1;
        compare(hub.maxRange, 150, "not during a replay");
        hub.f_setFileStatusNone();
        failOnWarning(/not in the device record/);
        hub.workMode = 9;
        compare(hub.maxRange, 150);
        hub.workMode = 3;
        compare(hub.maxRange, 200);

        hub.f_setConnectStatusTryConnect();
        compare(lastTip(), "连接中");
        hub.f_setConnectStatusNone();
        compare(lastTip(), "点击连接声纳");
    }

    // The replay slider follows the stored images without asking for one; only the operator's
    // steps show a stored image.
    function test_replaySlider() {
        var slider = find("palyBackSlider");
        var shown = spy(hub, "palyBackVideo");
        hub.connectOK = false;
        hub.palyBackEnable(true);
        verify(slider.visible);
        hub.updateSchedule(12);
        compare(slider.to, 12);
        compare(slider.value, 12);
        compare(shown.count, 0);
        compare(view.sliceIndex, 0);
        hub.palyBackEnable(true);
        compare(view.sliceIndex, 12);

        mouseClick(find("backStepButton"));
        compare(slider.value, 11);
        compare(shown.count, 1);
        compare(shown.signalArguments[0][0], 11);
        compare(view.sliceIndex, 11);
        mouseClick(find("forwardStepButton"));
        mouseClick(find("forwardStepButton"));
        compare(slider.value, 12, "not beyond the newest image");
        compare(shown.count, 2);

        hub.connectOK = true;
        verify(!slider.visible, "the display controls take its place");
        hub.connectOK = false;
    }

    function test_viewMouseArea() {
        var area = find("viewMouseArea");
        compare(sceneRect(area), [648, 0, 432, 770]);
        view.scale = 100;
        mouseWheel(area, 200, 300, 0, 120);
        fuzzyCompare(view.scale, 110, 1e-9);
        mouseWheel(area, 200, 300, 0, -120);
        fuzzyCompare(view.scale, 99, 1e-9);
        mouseDrag(area, 100, 300, 43.2, 0, Qt.LeftButton);
        verify(view.roll !== 0);
        mouseDoubleClickSequence(area, 200, 300);
        compare(view.scale, 100);
        compare(view.roll, 0);
    }

    function test_gridButton() {
        var grid = findChild(find("c_functionBtn"), "c_grid");
        mouseClick(grid);
        verify(!window.gridVisible);
        mouseClick(grid);
        verify(window.gridVisible);
    }
}
