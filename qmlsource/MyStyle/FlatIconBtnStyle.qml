import QtQuick
import QtQuick.Controls
import "../Theme"

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
    icon.color: !enabled ? Theme.iconDisabledTint : (pressed ? Theme.iconPressedTint : "transparent")

    background: Rectangle {
        color: "transparent"
    }

    ToolTip.visible: hovered && m_toolTip.length > 0
    ToolTip.timeout: Theme.toolTipTimeout
    ToolTip.text: m_toolTip
}
