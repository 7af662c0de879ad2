import QtQuick
import "MyStyle"
import InformationCenter.module 1.0

// Brightness of the sector image, 0 to 16: a command to the sonar, or while a recording is
// replayed an offset that the host applies itself.
Item {
    id: c_root

    property InformationCenter infoCenter: null
    // The first press gives the panel a value of its own; from then on it keeps that value.
    property int brightnessValue: infoCenter ? infoCenter.brightness : 0
    property bool m_readingFile: false

    readonly property int m_maxBrightness: 16

    function f_step(delta) {
        // The sonar reports its brightness in a byte; whatever it says, the value sent stays
        // within 0..16.
        brightnessValue = Math.max(0, Math.min(m_maxBrightness, brightnessValue + delta));
        if (m_readingFile)
            infoCenter.sigBrightnessOffset(brightnessValue);
        else
            infoCenter.str_cmd = "0x18接0x" + brightnessValue.toString(16);
    }

    Row {
        anchors.fill: parent

        FlatIconBtnStyle {
            objectName: "raiseButton"
            icon.source: "./image/sun-add.svg"
            m_toolTip: "亮度+"
            enabled: c_root.brightnessValue < c_root.m_maxBrightness
            onReleased: c_root.f_step(1)
        }
        FlatIconBtnStyle {
            objectName: "lowerButton"
            icon.source: "./image/sun-cut.svg"
            m_toolTip: "亮度-"
            enabled: c_root.brightnessValue > 0
            onReleased: c_root.f_step(-1)
        }
    }
}
