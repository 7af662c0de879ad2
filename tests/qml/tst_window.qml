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
    // A test that fails half-way leaves no panel open over the next one.
    function cleanup() {
        find("c_connectToSonar").visible = false;
        find("c_setting").visible = false;
        find("c_warnMsgDialog").close();
        tryVerify(function () { return !find("c_warnMsgDialog").visible; }, 5000);
        findChild(window.footer, "tipsList").height = 30;
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

        // Dragged by the operator: the image it is let go on is shown, once; none on the way,
        // since the slider's value only changes on release.
        var y = slider.height / 2;
        mousePress(slider, slider.handle.x + slider.handle.width / 2, y);
        for (var x = slider.width * 0.8; x > slider.width * 0.3; x -= 10)
            mouseMove(slider, x, y);
        mouseRelease(slider, slider.width * 0.3, y);
        verify(slider.value > 0 && slider.value < 6, slider.value);
        compare(shown.count, 3);
        compare(shown.signalArguments[2][0], slider.value);
        compare(view.sliceIndex, slider.value);

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

    // Presses, drags and wheel turns over a panel that lies over the 3D view belong to the panel:
    // the view behind it keeps its camera. On the bare view they still turn, move and zoom it.
    // Points are in the panel, from its right or bottom edge where given negative.
    function test_panelsOverTheViewTakeTheMouse_data() {
        return [
            { tag: "bare view", panel: "", at: [900, 400], taken: false },
            { tag: "connection panel's title bar", panel: "c_connectToSonar", at: [-100, 25], taken: true },
            { tag: "connection panel's empty body", panel: "c_connectToSonar", at: [-30, -15], taken: true },
            { tag: "connection panel's device list", panel: "c_connectToSonar", at: [-40, 150], taken: true },
            { tag: "settings panel's title bar", panel: "c_setting", at: [-60, 30], taken: true },
            { tag: "settings panel between title and rows", panel: "c_setting", at: [-40, 59], taken: true },
            { tag: "settings panel's rows", panel: "c_setting", at: [-40, 300], taken: true },
            { tag: "open tips list", panel: "tipsList", at: [-40, 40], taken: true },
            { tag: "message dialog's text", panel: "c_warnMsgDialog", at: [-20, 120], taken: true },
            { tag: "message dialog's title", panel: "c_warnMsgDialog", at: [-20, 10], taken: true }
        ];
    }
    function test_panelsOverTheViewTakeTheMouse(data) {
        var panel = null;
        var more = findChild(window.footer, "moreButton");
        if (data.panel === "tipsList") {
            for (var i = 0; i < 3; ++i)
                hub.sigTipsCMD("tip " + i);
            panel = findChild(window.footer, "tipsList");
            mouseClick(more);
            compare(panel.height, 150);
        } else if (data.panel === "c_warnMsgDialog") {
            panel = find(data.panel);
            hub.sigTipsDialog("Title", "Text");
            tryVerify(function () { return panel.opened; }, 5000);
        } else if (data.panel !== "") {
            panel = find(data.panel);
            panel.visible = true;
        }
        var x = data.at[0], y = data.at[1];
        if (panel) {
            // A dialog is placed by the item that holds its content.
            var placed = panel.mapToItem ? panel : panel.contentItem.parent;
            var p = placed.mapToItem(window.contentItem, x < 0 ? placed.width + x : x, y < 0 ? placed.height + y : y);
            x = p.x;
            y = p.y;
        }
        var area = find("viewMouseArea");
        verify(x >= area.x && y < area.height, "over the view: " + x + ", " + y);
        waitForRendering(window.contentItem);

        view.scale = 100;
        var camera = [view.roll, view.pitch, view.heading, view.scale];
        var moves = spy(view, "sigMovePointCloud");
        var scene = window.contentItem;
        mouseDrag(scene, x, y, 30, 20, Qt.LeftButton);
        mouseDrag(scene, x, y, 30, 20, Qt.RightButton);
        mouseWheel(scene, x, y, 0, 120);
        var now = [view.roll, view.pitch, view.heading, view.scale];
        if (data.taken) {
            compare(now, camera);
            compare(moves.count, 0);
        } else {
            for (var k = 0; k < camera.length; ++k)
                verify(now[k] !== camera[k], "camera value " + k);
            verify(moves.count > 0);
        }

    }

    // The message dialog's button bar is a fifth of its content, below the text's four fifths,
    // whatever the title above them takes.
    function test_messageDialogBar() {
        var dialog = find("c_warnMsgDialog");
        hub.sigTipsDialog("Title", "Text");
        tryVerify(function () { return dialog.opened; }, 5000);
        var content = dialog.contentItem;
        var text = findChild(content, "messageText");
        var bar = findChild(content, "buttonBar");
        verify(bar);
        verify(content.height > 0 && content.height < dialog.height, "the title takes its part");
        fuzzyCompare(bar.height, content.height * 0.2, 0.01);
        fuzzyCompare(bar.y, text.y + text.height, 0.01);
        fuzzyCompare(bar.y + bar.height, content.height, 0.01);
        var ok = findChild(content, "okButton");
        fuzzyCompare(ok.height, bar.height * 0.8 * 0.8, 0.01);
        var okTop = ok.mapToItem(bar, 0, 0).y;
        verify(okTop >= 0 && okTop + ok.height <= bar.height, "the buttons inside the bar");
        dialog.close();
        tryVerify(function () { return !dialog.visible; }, 5000);
    }

    // The colour of the window at the centre of an item, as the operator sees it: whatever is
    // drawn over the item there, not the item alone.
    function colourSeenAt(item, dx, dy) {
        waitForRendering(window.contentItem);
        var centre = item.mapToItem(window.contentItem, item.width / 2 + (dx || 0), item.height / 2 + (dy || 0));
        var shot = grabImage(window.contentItem);
        return shot.pixel(Math.round(centre.x), Math.round(centre.y));
    }

    // The palette list drops down over the sector image: it must be drawn above the image, its
    // grid and its mask, or the operator sees only the first swatch.
    function test_paletteListOverTheImage() {
        hub.connectOK = true;
        var list = find("c_colorTableList");
        mouseClick(find("c_colorTable"));
        tryCompare(list, "opacity", 1, 5000);
        // Swatch 3 runs from deep blue to white; at its middle it is a light blue, never black.
        var colour = colourSeenAt(find("palette3"));
        verify(colour.b > 0.6 && colour.g > 0.4, "swatch 3 seen as " + colour);
        mouseClick(find("c_colorTable"));
        tryVerify(function () { return !list.visible; }, 5000);
        hub.connectOK = false;
    }

    // The tips list opens upwards from the footer over the window: over the display controls
    // and the divider too, or the tips there cannot be read.
    function test_openTipsOverTheDisplayControls() {
        hub.connectOK = true;
        for (var i = 0; i < 6; ++i)
            hub.sigTipsCMD("tip " + i);
        var more = findChild(window.footer, "moreButton");
        mouseClick(more);
        var list = findChild(window.footer, "tipsList");
        compare(list.height, 150);
        // On the white half of the raise-contrast icon, in an empty part of a tip's row.
        var colour = colourSeenAt(find("qml_gamma"), -40, 8);
        verify(Math.abs(colour.r - 0x5b / 255) < 0.02 && Math.abs(colour.g - 0x62 / 255) < 0.02,
               "a tip's row seen as " + colour);
        mouseClick(more);
        compare(list.height, 30);
        hub.connectOK = false;
    }

    function test_gridButton() {
        var grid = findChild(find("c_functionBtn"), "c_grid");
        mouseClick(grid);
        verify(!window.gridVisible);
        mouseClick(grid);
        verify(window.gridVisible);
    }
}
