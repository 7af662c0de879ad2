import QtQuick
import CmdDialog.module 1.0
import ShowPoint.module 1.0

// Recording stand-ins for the back-end objects the panels call, and a recorder of the command
// texts written to the state hub.
QtObject {
    id: c_root

    property var hub: null
    // Command texts in the order they were written (read while the hub signals the change:
    // afterwards the hub holds a blank again).
    property var commands: []

    property Connections m_commandWatch: Connections {
        target: c_root.hub
        function onStr_cmdChanged() { c_root.commands.push(c_root.hub.str_cmd); }
    }

    // Of the panels' own types, so that a panel that takes them typed accepts them; the calls a
    // test looks for are recorded instead of made.
    property CmdDialog cmdDialog: CmdDialog {
        property var calls: []
        function disconnected() { calls.push(["disconnected"]); }
        function fReadFpga(inAddr) { calls.push(["fReadFpga", inAddr]); }
        function fWriteFpga(inAddr, inInfo) { calls.push(["fWriteFpga", inAddr, inInfo]); }
        function updateApp() { calls.push(["updateApp"]); }
    }

    property ShowPoint showPoint: ShowPoint {
        property var calls: []
        onRequestReset: calls.push(["requestReset"])
        function f_setColorTable(inIndex) { calls.push(["f_setColorTable", inIndex]); }
    }

    property QtObject languageSet: QtObject {
        property string current: "zh_CN"
        property var calls: []
        function getLanguageIdx(inName) { return inName === "en_US" ? 1 : 0; }
        function getLanguageName(inIdx) { return inIdx === 1 ? "en_US" : "zh_CN"; }
        function getCurrentLanguage() { return current; }
        function setLanguage(inName) { calls.push(inName); current = inName; }
    }

    // The main window's part the panels use.
    property QtObject rootWindow: QtObject {
        property real width: 1080
        property real height: 800
        property bool gridVisible: true
    }
}
