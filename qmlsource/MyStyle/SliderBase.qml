import QtQuick
import QtQuick.Controls
import "../PublicFunction.js" as MyFun
import "../Theme"

// The slider both slider styles are made of: a rounded bar with a blue gradient and a round
// handle, thinner and smaller in a narrow window. The value changes only when the handle is
// released.
Slider {
    id: control

    readonly property bool m_wide: Window.width >= Theme.wideWindowWidth
    // Diameter of the handle in a narrow window.
    property real m_narrowHandleSize: Window.width * 0.012
    // The bar drawn in the covered colour up to the handle.
    property bool m_showCovered: false
    // The value, with two decimals, written above the handle.
    property bool m_showValue: false

    focusPolicy: Qt.NoFocus
    from: 0
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
            visible: control.m_showCovered
            width: control.visualPosition * parent.width
            height: parent.height
            radius: Theme.controlRadius
            color: Theme.sliderCovered
        }
    }

    handle: Rectangle {
        readonly property real m_size: control.m_wide ? 24 : control.m_narrowHandleSize
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + control.availableHeight / 2 - height / 2
        implicitWidth: m_size
        implicitHeight: m_size
        radius: width / 2
        color: control.pressed ? Theme.sliderHandlePressed : Theme.sliderHandle
        border.color: Theme.sliderHandleBorder
        border.width: control.m_wide ? 3 : height * 0.2

        Text {
            visible: control.m_showValue
            anchors.bottom: parent.top
            anchors.horizontalCenter: parent.horizontalCenter
            text: MyFun.f_fixed(control.value, 2)
            color: Theme.textOnDark
        }
    }
}
