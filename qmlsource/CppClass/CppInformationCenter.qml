import QtQuick
import InformationCenter.module 1.0

// The state hub with the front end's reactions to it: tips into the footer, messages into the
// dialog, and the connection status and work mode into the range ruler's maximum.
InformationCenter {
    id: c_root

    property var footer: null
    property var warnDialog: null
    property var connectPanel: null
    property var functionBtn: null
    property var readFileCtl: null

    // The device record holds the maximum ranges of eight work modes; a header may carry any
    // byte as its work mode.
    readonly property int m_workModeCount: 8

    function f_updateMaxRangeOfWorkMode() {
        if (workMode < m_workModeCount)
            f_updateMaxRange(workMode);
    }

    onSigTipsCMD: (inMsg) => c_root.footer.f_addTipsText(inMsg)
    onSigTipsDialog: (inTitle, inMsg) => {
        c_root.warnDialog.title = inTitle;
        c_root.warnDialog.m_text = inMsg;
        c_root.warnDialog.open();
    }
    onM_connectStatusChanged: {
        if (f_connnectStatusIsConnected(m_connectStatus)) {
            connectPanel.visible = false;
            sigTipsCMD(qsTr("已连接") + deviceName);
            f_updateMaxRangeOfWorkMode();
        } else if (f_connectStatusIsTryConnect(m_connectStatus)) {
            sigTipsCMD(qsTr("连接中"));
        } else {
            sigTipsCMD(qsTr("点击连接声纳"));
        }
    }
    onWorkModeChanged: {
        if (!f_fileStatusIsReading(m_fileStatus))
            f_updateMaxRangeOfWorkMode();
    }
    onSigTotalFrame: (inTotalFrame) => {
        console.log("回放文件总帧数：" + inTotalFrame);
        c_root.readFileCtl.setSliderLength(parseInt(inTotalFrame, 10));
    }
    onSigCurFrame: (inCurFrame) => c_root.readFileCtl.f_setCurrentFrame(parseInt(inCurFrame, 10))
    onEnforcementStartBtn: (inChecked) => { c_root.functionBtn.m_startBtn.checked = inChecked; }
}
