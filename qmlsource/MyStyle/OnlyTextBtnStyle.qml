import QtQuick
import QtQuick.Controls
import QtQuick.Controls.impl
import "../Theme"

// Text button with a two-level bevel: an outer and an inner rounded rectangle. Pressing shrinks
// the bevel and the text to m_ratio and dims the inner face.
Button {
    id: control

    property color m_externalRectBorderColor: Theme.bevelOuterBorder
    property color m_externalRectColor: Theme.bevelOuterFill
    property color m_interalRectBorderColor: Theme.bevelInnerBorder
    property color m_interalRectColor: Theme.bevelInnerFill
    property real m_ratio: 0.9
    property int m_duration: 100
    // 0 at rest, 1 fully pressed; the press and release animations drive it.
    property real m_pressProgress: 0
    readonly property real m_sizeFactor: 1 - m_pressProgress * (1 - m_ratio)

    padding: 6
    horizontalPadding: 8
    spacing: 6
    icon.width: 24
    icon.height: 24

    contentItem: IconLabel {
        spacing: control.spacing
        mirrored: control.mirrored
        display: control.display
        icon: control.icon
        text: control.text
        font.pixelSize: Math.max(1, control.font.pixelSize * control.m_sizeFactor)
        font.family: control.font.family
        color: control.palette.buttonText
    }

    background: Item {
        implicitWidth: 100
        implicitHeight: 40

        Rectangle {
            anchors.centerIn: parent
            width: control.width * control.m_sizeFactor
            height: control.height * control.m_sizeFactor
            radius: Theme.controlRadius
            color: control.m_externalRectColor
            border.width: 1
            border.color: control.m_externalRectBorderColor

            Rectangle {
                anchors.fill: parent
                anchors.margins: 2
                radius: Theme.controlRadius
                opacity: 1 - control.m_pressProgress * 0.2
                color: control.m_interalRectColor
                border.width: 1
                border.color: control.m_interalRectBorderColor
            }
        }
    }

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
