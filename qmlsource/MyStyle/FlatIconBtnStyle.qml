import QtQuick
import QtQuick.Controls

// Square flat icon button of the display controls: the icon fills the button, is tinted while
// pressed and red while the button is disabled; the tool tip shows while hovered.
Button {
    id: control

    property string m_toolTip: ""

    height: parent ? parent.height : implicitHeight
    width: height
    flat: true
    padding: 0
    icon.width: width
    icon.height: height
    icon.color: !enabled ? "red" : (pressed ? Qt.rgba(0.957, 0.918, 0.165, 0.4) : "transparent")

    background: Rectangle {
        color: "transparent"
    }

    ToolTip.visible: hovered && m_toolTip.length > 0
    ToolTip.timeout: 1000
    ToolTip.text: m_toolTip
}
