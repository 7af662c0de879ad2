import QtQuick
import CmdDialog.module 1.0
import InformationCenter.module 1.0

// The command channel with the front end's reactions to it: its messages become footer tips,
// the end of a long operation lifts the busy mask, and a send error drops the connection status.
CmdDialog {
    id: c_root

    property InformationCenter infoCenter: null
    property var forbiddenMask: null

    onSig_cmdMsg: (inCmdMsg) => c_root.infoCenter.sigTipsCMD(inCmdMsg)
    onSigCloseForbiddenMask: c_root.forbiddenMask.visible = false
    onSigSendCMDErrno: c_root.infoCenter.f_setConnectStatusNone()
}
