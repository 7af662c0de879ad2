import QtQuick
import "../Theme"

// The "set" button of a settings row. It never takes the keyboard focus: the field being edited
// keeps it, so the row's handler sends what the operator typed.
OnlyTextBtnStyle {
    width: Theme.settingButtonWidth
    height: parent ? parent.height : implicitHeight
    flat: false
    checkable: false
    focusPolicy: Qt.NoFocus
    padding: height * 0.1
    font.pixelSize: Theme.fontSizeNormal
    text: qsTr("设置")
}
