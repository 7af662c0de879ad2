import QtQuick
import "MyStyle"
import "Theme"
import "PublicFunction.js" as MyFun
import InformationCenter.module 1.0

// Kept as one of the front end's published components: no panel places it today.

// Range as a slider over 1 to 5 m.
Column {
    id: c_root

    property InformationCenter infoCenter: null

    Text {
        text: qsTr("距离")
        color: Theme.textOnDark
    }
    MySliderStyle {
        objectName: "slider"
        from: 1
        to: 5
        value: 1
        onSigValueChosen: (inValue) => { c_root.infoCenter.str_cmd = "0x09接" + MyFun.numberToFloatToHex(inValue); }
    }
}
