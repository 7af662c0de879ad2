import QtQuick
import "MyStyle"
import "Theme"
import InformationCenter.module 1.0

// Kept as one of the front end's published components: no panel places it today.

// Brightness as a slider, 0 to 16: a command to the sonar, or while a recording is replayed an
// offset that the host applies itself.
Column {
    id: c_root

    property InformationCenter infoCenter: null
    property bool m_readingFile: false

    Text {
        text: qsTr("亮度")
        color: Theme.textOnDark
    }
    MySliderStyle {
        objectName: "slider"
        to: 16
        onSigValueChosen: (inValue) => {
            var level = Math.round(inValue);
            if (c_root.m_readingFile)
                c_root.infoCenter.sigBrightnessOffset(level);
            else
                c_root.infoCenter.str_cmd = "0x18接0x" + level.toString(16);
        }
    }
}
