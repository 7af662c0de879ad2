import QtQuick

// Slider whose value changes only when the handle is released; every user sets its range.
// Users act on sigValueChosen, the operator's choice: `moved` comes while the handle is dragged,
// before the value has changed, and `valueChanged` comes for changes made in code as well.
SliderBase {
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
}
