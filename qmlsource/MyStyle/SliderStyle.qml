import QtQuick
import QtQuick.Controls
import "../Theme"
import QtQuick.Layouts
import "../PublicFunction.js" as MyFun

// Slider over 0..100 filling its layout's width, with the covered part of the bar highlighted
// and the value written above the handle.
Slider {
    id: control

    readonly property bool m_wide: Window.width >= Theme.wideWindowWidth

    Layout.fillWidth: true
    focusPolicy: Qt.NoFocus
    from: 0
    to: 100
    snapMode: Slider.SnapAlways
    stepSize: 1
    value: 0
    live: false

    background: Rectangle {
        x: control.leftPadding
        y: control.topPadding + control.availableHeight / 2 - height / 2
        implicitWidth: 100
        implicitHeight: control.m_wide ? 10 : 5
        width: control.availableWidth
        height: implicitHeight
        radius: Theme.controlRadius
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.sliderTrackStart }
            GradientStop { position: 0.9; color: Theme.sliderTrackEnd }
        }

        Rectangle {
            width: control.visualPosition * parent.width
            height: parent.height
            radius: Theme.controlRadius
            color: Theme.sliderCovered
        }
    }

    handle: Rectangle {
        readonly property real m_size: control.m_wide ? 24 : control.width * 0.12
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + control.availableHeight / 2 - height / 2
        implicitWidth: m_size
        implicitHeight: m_size
        radius: width / 2
        color: control.pressed ? Theme.sliderHandlePressed : Theme.sliderHandle
        border.color: Theme.sliderHandleBorder
        border.width: control.m_wide ? 3 : height * 0.2

        Text {
            anchors.bottom: parent.top
            anchors.horizontalCenter: parent.horizontalCenter
            text: MyFun.f_fixed(control.value, 2)
            color: Theme.textOnDark
        }
    }
}
