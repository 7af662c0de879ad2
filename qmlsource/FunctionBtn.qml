import QtQuick
import QtQuick.Dialogs
import "MyStyle"
import "FunctionBtnContent"
import "Theme"
import CmdDialog.module 1.0
import InformationCenter.module 1.0
import ShowPoint.module 1.0

// The row of function buttons at the top left of the main window: connect, start, record,
// replay, settings, grid and palette. The panels it opens and the back-end objects it drives
// are handed in by the main window.
Item {
    id: c_root

    property InformationCenter infoCenter: null
    property CmdDialog cmdDialog: null
    property ShowPoint showPoint: null
    property var connectPanel: null
    property var settingPanel: null
    property var rootWindow: null

    property bool m_isConnected: infoCenter ? infoCenter.connectOK : false
    property bool m_isFileStatusNone: infoCenter ? infoCenter.f_filestatusIsNone(infoCenter.m_fileStatus) : true
    property bool m_readingFile: infoCenter ? infoCenter.f_fileStatusIsReading(infoCenter.m_fileStatus) : false
    property bool m_savingFile: infoCenter ? infoCenter.f_fileStatusIsSaving(infoCenter.m_fileStatus) : false
    property bool m_start: false
    property bool m_isSearchingOrTryConnecting: infoCenter ? infoCenter.findBlueTooth : false
    property alias m_startBtn: c_startSonar

    // Both dialogs offer recordings whatever the case of their extension.
    function f_dbNameFilter(inFilter) {
        return inFilter.replace("*.DB", "*.DB *.db");
    }

    onM_startChanged: {
        if (m_start)
            showPoint.requestReset();
    }
    onM_readingFileChanged: {
        if (m_readingFile)
            showPoint.requestReset();
    }
    onM_isConnectedChanged: {
        if (!m_isConnected)
            return;
        connectPanel.visible = false;
        infoCenter.sigSendCMDIpAndPort(infoCenter.hostIp, infoCenter.hostUdpPort);
    }

    Connections {
        target: c_root.infoCenter
        // The sonar ended the scan, or the back end confirmed a stop: the button is released
        // without sending anything; only a scan still marked as running is wound down.
        function onSigScanEnd() {
            c_startSonar.checked = false;
            if (c_root.m_start) {
                c_root.m_start = false;
                c_root.infoCenter.isStart = false;
                c_root.infoCenter.sigStartStatusChanged(false);
            }
        }
    }

    Row {
        id: c_row
        height: parent.height
        spacing: Theme.toolButtonSpacing

        IconBtnStyle {
            id: c_connectBtn
            objectName: "c_connectBtn"
            focusPolicy: Qt.NoFocus
            icon.source: c_root.m_isConnected ? "./image/icon-connect-active.png" : "./image/icon-connect.png"
            icon.color: c_root.m_isSearchingOrTryConnecting ? Theme.searchingTint : "transparent"
            m_toolTip: c_root.m_isConnected ? qsTr("断开") : (c_root.m_isSearchingOrTryConnecting ? qsTr("停止") : qsTr("连接"))

            AnimatedImage {
                anchors.centerIn: parent
                width: Math.min(parent.width, parent.height) * 0.7
                height: width
                visible: c_root.m_isSearchingOrTryConnecting
                playing: visible
                source: "./image/searching.gif"
            }

            onReleased: {
                if (!c_root.m_isConnected && !c_root.m_isSearchingOrTryConnecting) {
                    c_root.infoCenter.sigCreateSearchThread(true);
                    c_root.infoCenter.sigSearching(true);
                    c_root.connectPanel.visible = true;
                    c_root.m_isSearchingOrTryConnecting = true;
                } else {
                    c_root.infoCenter.connectOK = false;
                    c_root.m_isSearchingOrTryConnecting = false;
                    c_root.connectPanel.visible = false;
                    c_root.cmdDialog.disconnected();
                    c_startSonar.checked = false;
                    c_root.infoCenter.sigStartStatusChanged(false);
                }
            }
        }

        IconBtnStyle {
            id: c_startSonar
            objectName: "c_startSonar"
            checkable: true
            enabled: c_root.m_isConnected
            opacity: enabled ? 1.0 : 0.5
            icon.source: checked ? "./image/icon-stopSonar.png" : "./image/icon-startSonar.png"
            m_toolTip: checked ? qsTr("停止") : qsTr("启动")

            onReleased: {
                if (checked) {
                    c_root.infoCenter.str_cmd = "0x06接0x01";
                    c_root.m_start = true;
                    c_root.infoCenter.isStart = true;
                    c_root.infoCenter.sigStartStatusChanged(true);
                } else {
                    c_root.infoCenter.str_cmd = "0x06接0x00";
                    c_root.m_start = false;
                    c_root.infoCenter.isStart = false;
                    c_root.infoCenter.sigStartStatusChanged(false);
                }
            }
        }

        IconBtnStyle {
            id: c_saveFile
            objectName: "c_saveFile"
            enabled: c_root.m_isConnected && !c_root.m_readingFile
            opacity: enabled ? 1.0 : 0.5
            icon.source: c_root.m_savingFile ? "./image/icon-stopFile.png" : "./image/icon-saveFile.png"
            m_toolTip: c_root.m_savingFile ? qsTr("停止") : qsTr("保存")

            // A recording ends when the connection goes or a replay starts.
            onEnabledChanged: {
                if (c_root.m_savingFile && c_root.infoCenter)
                    c_root.infoCenter.sigStopSaveFile();
            }
            onReleased: {
                if (c_root.m_savingFile) {
                    c_root.infoCenter.sigStopSaveFile();
                } else if (c_root.m_isFileStatusNone) {
                    c_root.infoCenter.f_setSaveFileNameToClipboard();
                    c_saveFileDialog.open();
                }
            }
        }

        IconBtnStyle {
            id: c_readFile
            objectName: "c_readFile"
            enabled: !c_root.m_isConnected
            opacity: enabled ? 1.0 : 0.5
            icon.source: c_root.m_readingFile ? "./image/icon-readFile-active.png" : "./image/icon-readFile.png"
            m_toolTip: c_root.m_readingFile ? qsTr("停止") : qsTr("回放")

            // A replay ends when a connection is made.
            onEnabledChanged: {
                if (c_root.m_readingFile && c_root.infoCenter)
                    c_root.infoCenter.sigStopReadFile();
            }
            onReleased: {
                if (c_root.m_isFileStatusNone) {
                    c_readFileDialog.open();
                } else if (c_root.m_savingFile) {
                    console.log("回放文件时正在保存文件");
                    c_root.infoCenter.sigStopSaveFile();
                    c_readFileDialog.open();
                } else if (c_root.m_readingFile) {
                    c_root.infoCenter.sigStopReadFile();
                }
            }
        }

        IconBtnStyle {
            id: c_settings
            objectName: "c_settings"
            icon.source: c_root.settingPanel && c_root.settingPanel.visible ? "./image/icon-settings-active.png" : "./image/icon-settings.png"
            m_toolTip: qsTr("设置")

            onReleased: {
                var panel = c_root.settingPanel;
                var window = c_root.rootWindow;
                panel.visible = !panel.visible;
                if (panel.x < 0 || panel.x > window.width)
                    panel.x = window.width * 0.3;
                if (panel.y < 0 || panel.y > window.height)
                    panel.y = window.height * 0.1;
            }
        }

        IconBtnStyle {
            id: c_grid
            objectName: "c_grid"
            checkable: true
            icon.source: checked ? "./image/nowangge.png" : "./image/wangge.png"
            m_toolTip: checked ? qsTr("无网格") : qsTr("网格")

            onReleased: c_root.rootWindow.gridVisible = !checked
        }

        IconBtnStyle {
            id: c_colorTable
            objectName: "c_colorTable"
            enabled: c_root.m_isConnected
            icon.source: c_colorTableList.visible ? "./image/icon-colorpannel-active.png" : "./image/icon-colorpannel.png"
            m_toolTip: qsTr("色板")

            onReleased: {
                if (c_colorTableList.visible) {
                    c_hideAnimation.start();
                } else {
                    c_colorTableList.visible = true;
                    c_showAnimation.start();
                }
            }
        }
    }

    ListView {
        id: c_colorTableList
        objectName: "c_colorTableList"
        x: c_colorTable.x
        y: c_row.height + Theme.toolButtonSpacing
        height: c_root.height * 3.5
        width: height
        clip: true
        interactive: false
        transformOrigin: Item.TopLeft
        visible: false
        scale: 0.8
        opacity: 0
        model: ColorTableObjModel {
            height: c_colorTableList.height
            infoCenter: c_root.infoCenter
            showPoint: c_root.showPoint
        }
    }

    ParallelAnimation {
        id: c_showAnimation
        NumberAnimation { target: c_colorTableList; property: "scale"; from: 0.8; to: 1.0; duration: 150; easing.type: Easing.OutBack }
        NumberAnimation { target: c_colorTableList; property: "opacity"; from: 0; to: 1; duration: 150; easing.type: Easing.OutCubic }
    }
    SequentialAnimation {
        id: c_hideAnimation
        ParallelAnimation {
            NumberAnimation { target: c_colorTableList; property: "scale"; from: 1.0; to: 0.8; duration: 150; easing.type: Easing.InBack }
            NumberAnimation { target: c_colorTableList; property: "opacity"; from: 1; to: 0; duration: 150; easing.type: Easing.InCubic }
        }
        PropertyAction { target: c_colorTableList; property: "visible"; value: false }
    }

    FileDialog {
        id: c_readFileDialog
        objectName: "readFile"
        title: qsTr("选择文件")
        fileMode: FileDialog.OpenFile
        nameFilters: [c_root.f_dbNameFilter(qsTr("DB文件 (*.DB)"))]
        // The whole file URL goes to the back end, which takes the local path from it.
        onAccepted: {
            c_root.infoCenter.sigReadFile(String(selectedFile));
            console.log("回放文件：" + selectedFile);
        }
    }

    FileDialog {
        id: c_saveFileDialog
        objectName: "saveFile"
        title: qsTr("选择文件夹")
        fileMode: FileDialog.SaveFile
        nameFilters: [c_root.f_dbNameFilter(qsTr("DB文件 (*.DB)"))]
        defaultSuffix: ".DB"
        onAccepted: {
            console.log("打开的文件名：" + selectedFile);
            c_root.infoCenter.sigSaveFile(String(selectedFile));
        }
    }
}
