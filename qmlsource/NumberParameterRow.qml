import QtQuick
import "MyStyle"
import "PublicFunction.js" as MyFun

// A settings row of one number field and its "set" button. While the field is not being edited
// it shows m_value with m_decimals decimals; the button hands the field's text to sigSet and,
// for a row with a command code, sends the code followed by the float of the text as sigCommand.
// The field's unit is m_value's divided by m_factor (kilohertz for a value in hertz).
ParameterRow {
    id: c_row

    // The field and the button are found as m_name + "Edit" and m_name + "Button".
    property string m_name: ""
    // Undefined while there is no value to show.
    property var m_value
    property int m_decimals: 2
    property string m_code: ""
    property real m_factor: 1
    property alias m_inputWidth: c_edit.width
    property alias m_buttonEnabled: c_button.enabled

    signal sigSet(string inText)
    signal sigCommand(string inCmd)

    MyTextInputStyle {
        id: c_edit
        objectName: c_row.m_name + "Edit"
        maximumLength: 10
        Binding on text {
            when: !c_edit.activeFocus
            value: c_row.m_value === undefined ? "0.0" : MyFun.f_fixed(c_row.m_value / c_row.m_factor, c_row.m_decimals)
            restoreMode: Binding.RestoreNone
        }
    }
    MySettingBtnStyle {
        id: c_button
        objectName: c_row.m_name + "Button"
        onReleased: {
            c_row.sigSet(c_edit.text);
            if (c_row.m_code === "")
                return;
            // Nothing goes out for a text that is not a number.
            var payload = MyFun.numberToFloatToHex(parseFloat(c_edit.text) * c_row.m_factor);
            if (payload !== "")
                c_row.sigCommand(c_row.m_code + "接" + payload);
        }
    }
}
