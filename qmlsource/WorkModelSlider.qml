import QtQuick
import "MyStyle"
import "Theme"
import InformationCenter.module 1.0

// Kept as one of the front end's published components: no panel places it today.

// Work mode as a slider: Low, Medium, High.
Column {
    id: c_root

    property InformationCenter infoCenter: null
    readonly property var m_modeNames: ["Low", "Medium", "High"]

    Text {
        text: qsTr("模式") + " " + c_root.m_modeNames[Math.round(c_slider.value)]
        color: Theme.textOnDark
    }
    MySliderStyle {
        id: c_slider
        objectName: "slider"
        to: 2
        onSigValueChosen: (inValue) => { c_root.infoCenter.str_cmd = "0x05接0x0" + Math.round(inValue); }
    }
}
