import QtQuick
import "MyStyle"
import "Theme"
import InformationCenter.module 1.0

// Kept as one of the front end's published components: no panel places it today.

// Contrast (gamma) as a slider, 0.5 to 1.5; the host applies it.
Column {
    id: c_root

    property InformationCenter infoCenter: null

    Text {
        text: qsTr("对比度")
        color: Theme.textOnDark
    }
    MySliderStyle {
        objectName: "slider"
        from: 0.5
        to: 1.5
        stepSize: 0.01
        value: 1.0
        onSigValueChosen: (inValue) => { c_root.infoCenter.targetGamma = inValue; }
    }
}
