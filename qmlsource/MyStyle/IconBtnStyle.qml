import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import "../Theme"

// Square icon button of the tool rows: the icon fills the button and keeps its own colours.
// Pressing shrinks and dims the content to m_ratio, releasing brings it back.
Button {
    id: control

    property real m_ratio: 0.6
    property int m_duration: 200
    property string m_toolTip: ""
    // 0 at rest, 1 fully pressed; the press and release animations drive it.
    property real m_pressProgress: 0
    readonly property real m_contentFactor: 1 - m_pressProgress * (1 - m_ratio)

    height: parent ? parent.height : implicitHeight
    width: height
    padding: 0
    opacity: enabled ? 1.0 : 0.6
    font.pixelSize: Math.max(1, height * 0.4)
    icon.width: width
    icon.height: height
    icon.color: "transparent"

    contentItem: Item {
        IconLabel {
            anchors.centerIn: parent
            width: control.width * control.m_contentFactor
            height: control.height * control.m_contentFactor
            opacity: control.m_contentFactor
            spacing: control.spacing
            mirrored: control.mirrored
            display: control.display
            icon: control.icon
            text: control.text
            font.pixelSize: Math.max(1, control.font.pixelSize * control.m_contentFactor)
            color: control.palette.buttonText
        }
    }

    background: Rectangle {
        color: "transparent"
    }

    ToolTip.visible: hovered && m_toolTip.length > 0
    ToolTip.timeout: Theme.toolTipTimeout
    ToolTip.text: m_toolTip

    NumberAnimation {
        id: c_pressAnimation
        target: control
        property: "m_pressProgress"
        to: 1
        duration: control.m_duration
        easing.type: Easing.OutExpo
    }
    NumberAnimation {
        id: c_releaseAnimation
        target: control
        property: "m_pressProgress"
        to: 0
        duration: control.m_duration
        easing.type: Easing.OutExpo
    }

    onPressedChanged: {
        if (width <= 0 || height <= 0)
            return;
        if (pressed) {
            c_releaseAnimation.stop();
            c_pressAnimation.start();
        } else {
            c_pressAnimation.stop();
            c_releaseAnimation.start();
        }
    }
}
