import QtQuick
import QtQuick.Layouts

// Kept as one of the front end's published components: no panel places it today.

// Slider over 0..100 filling its layout's width, with the covered part of the bar highlighted
// and the value written above the handle.
SliderBase {
    Layout.fillWidth: true
    to: 100
    m_narrowHandleSize: width * 0.12
    m_showCovered: true
    m_showValue: true
}
