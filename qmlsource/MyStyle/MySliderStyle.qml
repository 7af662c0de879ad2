import QtQuick
import QtQuick.Controls
import "../Theme"

// Slider whose value changes only when the handle is released; every user sets its range.
// Users act on sigValueChosen, the operator's choice: `moved` comes while the handle is dragged,
// before the value has changed, and `valueChanged` comes for changes made in code as well.
Slider {
    id: control

    readonly property bool m_wide: Window.width >= Theme.wideWindowWidth
    property real m_valueAtPress: 0

    // The operator let go of the slider on a value other than the one it had.
    signal sigValueChosen(real inValue)

    // The value is set on release before the slider reports itself no longer pressed.
    onPressedChanged: {
        if (pressed)
            m_valueAtPress = value;
        else if (value !== m_valueAtPress)
            sigValueChosen(value);
    }

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
    }

    handle: Rectangle {
        readonly property real m_size: control.m_wide ? 24 : Window.width * 0.012
        x: control.leftPadding + control.visualPosition * (control.availableWidth - width)
        y: control.topPadding + control.availableHeight / 2 - height / 2
        implicitWidth: m_size
        implicitHeight: m_size
        radius: width / 2
        color: control.pressed ? Theme.sliderHandlePressed : Theme.sliderHandle
        border.color: Theme.sliderHandleBorder
        border.width: control.m_wide ? 3 : height * 0.2
    }
}
