import QtQuick
import QtTest
import InformationCenter.module 1.0
import "qrc:/qmlsource"

TestCase {
    id: c_test
    name: "FunctionBtn"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component { id: c_hubComponent; InformationCenter {} }
    Component { id: c_standInsComponent; StandIns {} }
    Component { id: c_panelComponent; Item { visible: false; width: 100; height: 100 } }
    Component { id: c_functionBtnComponent; FunctionBtn { width: 270; height: 38 } }
    Component { id: c_spyComponent; SignalSpy {} }

    property var hub
    property var standIns
    property var connectPanel
    property var settingPanel
    property var bar

    function init() {
        hub = createTemporaryObject(c_hubComponent, c_test);
        standIns = createTemporaryObject(c_standInsComponent, c_test, { hub: hub });
        connectPanel = createTemporaryObject(c_panelComponent, c_test);
        settingPanel = createTemporaryObject(c_panelComponent, c_test, { x: 300, y: 100 });
        bar = createTemporaryObject(c_functionBtnComponent, c_test, {
            infoCenter: hub, cmdDialog: standIns.cmdDialog, showPoint: standIns.showPoint,
            connectPanel: connectPanel, settingPanel: settingPanel, rootWindow: standIns.rootWindow
        });
        verify(bar);
    }

    function spy(signalName) {
        return createTemporaryObject(c_spyComponent, c_test, { target: hub, signalName: signalName });
    }
    function button(name) {
        var found = findChild(bar, name);
        verify(found, name);
        return found;
    }
    function iconName(control) {
        var path = String(control.icon.source);
        return path.substring(path.lastIndexOf("/") + 1);
    }
    function setFileStatus(status) {
        if (status === "Reading")
            hub.f_setFileStatusReading();
        else if (status === "Saving")
            hub.f_setFileStatusSaving();
        else
            hub.f_setFileStatusNone();
    }

    function test_enabledStates_data() {
        return [
            { tag: "idle", connected: false, file: "None", start: false, record: false, replay: true, palette: false },
            { tag: "connected", connected: true, file: "None", start: true, record: true, replay: false, palette: true },
            { tag: "connected, recording", connected: true, file: "Saving", start: true, record: true, replay: false, palette: true },
            { tag: "replaying", connected: false, file: "Reading", start: false, record: false, replay: true, palette: false },
            { tag: "connected while a replay ends", connected: true, file: "Reading", start: true, record: false, replay: false, palette: true }
        ];
    }
    function test_enabledStates(data) {
        setFileStatus(data.file);
        hub.connectOK = data.connected;
        compare(button("c_startSonar").enabled, data.start);
        compare(button("c_saveFile").enabled, data.record);
        compare(button("c_readFile").enabled, data.replay);
        compare(button("c_colorTable").enabled, data.palette);
        compare(button("c_connectBtn").enabled, true);
        compare(button("c_startSonar").opacity, data.start ? 1.0 : 0.5);
        compare(button("c_colorTable").opacity, data.palette ? 1.0 : 0.6);
    }

    function test_busyFileStoppedByConnectionChange() {
        var stopRead = spy("sigStopReadFile");
        var stopSave = spy("sigStopSaveFile");
        hub.f_setFileStatusReading();
        hub.connectOK = true;
        compare(stopRead.count, 1, "a connection stops the replay");

        hub.f_setFileStatusSaving();
        hub.connectOK = false;
        compare(stopSave.count, 1, "losing the connection stops the recording");
        compare(stopRead.count, 1);
    }

    function test_startAndStop() {
        var status = spy("sigStartStatusChanged");
        hub.connectOK = true;
        var start = button("c_startSonar");
        compare(start.m_toolTip, "启动");
        compare(iconName(start), "icon-startSonar.png");

        mouseClick(start);
        compare(standIns.commands, ["0x06接0x01"]);
        verify(start.checked);
        verify(bar.m_start);
        verify(hub.isStart);
        compare(status.count, 1);
        compare(status.signalArguments[0][0], true);
        compare(start.m_toolTip, "停止");
        compare(iconName(start), "icon-stopSonar.png");
        compare(standIns.showPoint.calls, [["requestReset"]]);

        mouseClick(start);
        compare(standIns.commands, ["0x06接0x01", "0x06接0x00"]);
        verify(!start.checked);
        verify(!bar.m_start);
        verify(!hub.isStart);
        compare(status.count, 2);
        compare(status.signalArguments[1][0], false);
    }

    // The sonar's end of scan releases the button and winds the scan down once, without
    // sending a command; the back end's confirmation of the stop does nothing more.
    function test_scanEndSendsNothing() {
        var status = spy("sigStartStatusChanged");
        hub.connectOK = true;
        var start = button("c_startSonar");
        mouseClick(start);
        compare(status.count, 1);

        hub.sigScanEnd();
        verify(!start.checked);
        verify(!bar.m_start);
        verify(!hub.isStart);
        compare(status.count, 2);
        compare(status.signalArguments[1][0], false);
        hub.sigScanEnd();
        compare(status.count, 2);
        compare(standIns.commands, ["0x06接0x01"]);
    }

    function test_connectButtonOpensAndCloses() {
        var create = spy("sigCreateSearchThread");
        var searching = spy("sigSearching");
        var status = spy("sigStartStatusChanged");
        var connectBtn = button("c_connectBtn");
        compare(connectBtn.m_toolTip, "连接");

        mouseClick(connectBtn);
        compare(create.count, 1);
        compare(create.signalArguments[0][0], true);
        compare(searching.count, 1);
        compare(searching.signalArguments[0][0], true);
        verify(connectPanel.visible);
        verify(bar.m_isSearchingOrTryConnecting);
        compare(connectBtn.m_toolTip, "停止");
        compare(connectBtn.icon.color, "#00377b");

        mouseClick(connectBtn);
        verify(!connectPanel.visible);
        verify(!bar.m_isSearchingOrTryConnecting);
        verify(!hub.connectOK);
        compare(standIns.cmdDialog.calls, [["disconnected"]]);
        compare(status.count, 1);
        compare(status.signalArguments[0][0], false);
        compare(create.count, 1, "the panel itself switches the search off when it hides");
    }

    function test_disconnectReleasesStart() {
        hub.connectOK = true;
        var start = button("c_startSonar");
        mouseClick(start);
        var connectBtn = button("c_connectBtn");
        compare(connectBtn.m_toolTip, "断开");
        compare(iconName(connectBtn), "icon-connect-active.png");
        mouseClick(connectBtn);
        verify(!start.checked);
        verify(!hub.connectOK);
        compare(standIns.cmdDialog.calls, [["disconnected"]]);
        compare(standIns.commands, ["0x06接0x01"], "the disconnect path sends no typed command");
    }

    function test_connectionAnnouncesDataDestination() {
        var destination = spy("sigSendCMDIpAndPort");
        connectPanel.visible = true;
        hub.hostIp = "10.1.2.3";
        hub.hostUdpPort = "5009";
        hub.connectOK = true;
        verify(!connectPanel.visible);
        compare(destination.count, 1);
        compare([destination.signalArguments[0][0], destination.signalArguments[0][1]], ["10.1.2.3", "5009"]);
        hub.connectOK = false;
        compare(destination.count, 1);
    }

    function test_replayStartResetsTheView() {
        hub.f_setFileStatusReading();
        compare(standIns.showPoint.calls, [["requestReset"]]);
        hub.f_setFileStatusNone();
        compare(standIns.showPoint.calls.length, 1);
    }

    function test_recordOpensTheSaveDialog() {
        var stopSave = spy("sigStopSaveFile");
        var save = spy("sigSaveFile");
        hub.connectOK = true;
        hub.deviceName = "SIM";
        var record = button("c_saveFile");
        compare(record.m_toolTip, "保存");
        var dialog = findChild(bar, "saveFile");
        verify(dialog);
        compare(dialog.title, "选择文件夹");
        compare(dialog.nameFilters, ["DB文件 (*.DB *.db)"]);

        mouseClick(record);
        tryVerify(function () { return dialog.visible; }, 5000);
        dialog.reject();
        tryVerify(function () { return !dialog.visible; }, 5000);
        compare(save.count, 0, "cancelling does nothing");

        hub.f_setFileStatusSaving();
        compare(record.m_toolTip, "停止");
        compare(iconName(record), "icon-stopFile.png");
        mouseClick(record);
        compare(stopSave.count, 1);
    }

    function test_replayButton() {
        var stopRead = spy("sigStopReadFile");
        var stopSave = spy("sigStopSaveFile");
        var replay = button("c_readFile");
        var dialog = findChild(bar, "readFile");
        compare(dialog.title, "选择文件");
        compare(dialog.nameFilters, ["DB文件 (*.DB *.db)"]);
        compare(replay.m_toolTip, "回放");

        hub.f_setFileStatusReading();
        compare(replay.m_toolTip, "停止");
        compare(iconName(replay), "icon-readFile-active.png");
        mouseClick(replay);
        compare(stopRead.count, 1);

        hub.f_setFileStatusSaving();
        mouseClick(replay);
        compare(stopSave.count, 1, "a recording still running is stopped first");
        tryVerify(function () { return dialog.visible; }, 5000);
        dialog.reject();
    }

    // The back end takes the local path from the URL itself: the URL arrives whole.
    function test_chosenFilesArriveAsUrls() {
        var read = spy("sigReadFile");
        var save = spy("sigSaveFile");
        var recording = Qt.resolvedUrl("data/sea trial.DB");
        var readDialog = findChild(bar, "readFile");
        readDialog.selectedFile = recording;
        readDialog.accepted();
        compare(read.count, 1);
        compare(read.signalArguments[0][0], String(recording));
        verify(read.signalArguments[0][0].startsWith("file:///"));
        verify(read.signalArguments[0][0].endsWith("/tests/qml/data/sea trial.DB"));

        var saveDialog = findChild(bar, "saveFile");
        saveDialog.selectedFile = recording;
        saveDialog.accepted();
        compare(save.count, 1);
        compare(save.signalArguments[0][0], String(recording));
    }

    function test_settingsAndGrid() {
        var settings = button("c_settings");
        mouseClick(settings);
        verify(settingPanel.visible);
        compare(iconName(settings), "icon-settings-active.png");
        mouseClick(settings);
        verify(!settingPanel.visible);

        settingPanel.x = -50;
        settingPanel.y = 900;
        mouseClick(settings);
        compare(settingPanel.x, 1080 * 0.3);
        compare(settingPanel.y, 800 * 0.1);

        var grid = button("c_grid");
        compare(grid.m_toolTip, "网格");
        mouseClick(grid);
        verify(!standIns.rootWindow.gridVisible);
        compare(grid.m_toolTip, "无网格");
        compare(iconName(grid), "nowangge.png");
        mouseClick(grid);
        verify(standIns.rootWindow.gridVisible);
    }

    function test_palette() {
        hub.connectOK = true;
        var paletteBtn = button("c_colorTable");
        var list = findChild(bar, "c_colorTableList");
        verify(!list.visible);
        mouseClick(paletteBtn);
        verify(list.visible);
        tryCompare(list, "opacity", 1, 5000);
        compare(list.height, 38 * 3.5);

        var third = findChild(bar, "palette3");
        verify(third);
        compare(third.width, list.height);
        compare(third.height, list.height / 7);
        mouseClick(third);
        compare(hub.switchColor, 3);
        compare(standIns.showPoint.calls, [["f_setColorTable", 3]]);
        compare(third.background.border.color, "#fcff00");
        compare(third.background.border.width, 2);
        var first = findChild(bar, "palette0");
        compare(first.background.border.color, "#8fceeb");
        compare(first.background.border.width, 0);

        mouseClick(paletteBtn);
        tryVerify(function () { return !list.visible; }, 5000);
    }
}
