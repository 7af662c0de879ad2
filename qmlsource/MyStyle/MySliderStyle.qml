import QtQuick
import QtQuick.Controls

// Slider whose value changes only when the handle is released; every user sets its range.
Slider {
    id: control

    readonly property bool m_wide: Window.width >= 1024

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
        radius: 5
        gradient: Gradient {
            GradientStop { position: 0.0; color: "#007cb6" }
            GradientStop { position: 0.9; color: "#3ab1e8" }
        }
    }

    handle: Rectangle {
        readonly property real m_size: control.m_wide ? 24 : Window.width * 0.012
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + control.availableHeight / 2 - height / 2
        implicitWidth: m_size
        implicitHeight: m_size
        radius: width / 2
        color: control.pressed ? "red" : "#edc900"
        border.color: "#fff"
        border.width: control.m_wide ? 3 : height * 0.2
    }
}
