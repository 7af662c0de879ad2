import QtQuick
import QtQml.Models
import "MyStyle"
import "Theme"
import "PublicFunction.js" as MyFun
import InformationCenter.module 1.0

// The rows of the settings panel. Each shows the sonar's current value while its field is not
// being edited, and on its button sends what the field holds: a command text through the state
// hub, a call of the command channel, or a hub property.
ObjectModel {
    id: c_root

    property InformationCenter infoCenter: null
    property var cmdDialog: null
    property var functionBtn: null
    property var warnDialog: null
    property real m_rowWidth: 390

    readonly property int m_spacing: Theme.spacingSmall
    readonly property int m_buttonWidth: Theme.settingButtonWidth
    readonly property real m_labelWidth: m_rowWidth * Theme.rowLabelRatio
    // Room for the inputs of a row with one button; the inputs fill it, so that every row's
    // button stands at the right edge of the rows.
    readonly property real m_inputWidth: m_rowWidth - m_labelWidth - m_buttonWidth - 2 * m_spacing
    readonly property bool m_connected: functionBtn !== null && functionBtn.m_isConnected
    readonly property bool m_scanning: functionBtn !== null && functionBtn.m_start

    // The hub property as a field shows it while not being edited.
    function f_shown(name, decimals) {
        return infoCenter ? MyFun.f_fixed(infoCenter[name], decimals) : "0.0";
    }

    function textToFloatToHex(inText) {
        return MyFun.textToFloatToHex(inText);
    }

    function f_send(inCmd) {
        infoCenter.str_cmd = inCmd;
    }

    // code, then the float of each text; nothing at all when one of them is not a number.
    function f_sendFloats(code, texts) {
        var payloads = texts.map(function (text) { return textToFloatToHex(text); });
        if (payloads.indexOf("") >= 0)
            return;
        f_send(code + "接" + payloads.join("接"));
    }

    function f_showSigModel() {
        if (c_sigModelBox.activeFocus || !infoCenter)
            return;
        var index = { 0: 0, 1: 1, 5: 2, 6: 3 }[infoCenter.sigModel];
        if (index !== undefined)
            c_sigModelBox.currentIndex = index;
    }

    property Connections m_hubConnections: Connections {
        target: c_root.infoCenter
        function onSigModelChanged() { c_root.f_showSigModel(); }
    }
    property Connections m_cmdConnections: Connections {
        target: c_root.cmdDialog
        function onSigReadFpgaText(fpgaText) { c_fpgaReadText.text = fpgaText; }
    }

    Component.onCompleted: f_showSigModel()

    ParameterRow {
        objectName: "sigModelRow"
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: qsTr("信号模式:")

        MyComboBoxStyle {
            id: c_sigModelBox
            objectName: "sigModelBox"
            width: c_root.m_inputWidth + c_root.m_buttonWidth + c_root.m_spacing
            height: parent.height
            model: ["Auto", "Cw30", "Cw10", "Chirp"]
            enabled: c_root.m_connected
            onActivated: (index) => c_root.f_send(["0x11接0x00", "0x11接0x01", "0x11接0x05", "0x11接0x06"][index])
            onActiveFocusChanged: c_root.f_showSigModel()
        }
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("前进速度：")
        m_name: "speed"
        m_value: c_root.infoCenter ? c_root.infoCenter.speed : undefined
        m_decimals: 2
        onSigSet: (inText) => {
            var value = parseFloat(inText);
            if (isFinite(value))
                c_root.infoCenter.speedMove = value;
        }
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("作用距离(m)：")
        m_name: "maxDist"
        m_value: c_root.infoCenter ? c_root.infoCenter.maxDist : undefined
        m_decimals: 2
        m_code: "0x09"
        m_buttonEnabled: c_root.m_connected
        onSigCommand: (inCmd) => c_root.f_send(inCmd)
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        id: c_tvgRow
        m_label: qsTr("TVG高级:")

        readonly property bool m_editing: c_tvgAEdit.activeFocus || c_tvgBEdit.activeFocus || c_tvgCEdit.activeFocus
        readonly property real m_fieldWidth: (c_root.m_inputWidth - 2 * c_root.m_spacing) / 3

        MyTextInputStyle {
            id: c_tvgAEdit
            objectName: "tvgAEdit"
            maximumLength: 6
            width: c_tvgRow.m_fieldWidth
            Binding on text { when: !c_tvgRow.m_editing; value: c_root.f_shown("TVGA", 4); restoreMode: Binding.RestoreNone }
        }
        MyTextInputStyle {
            id: c_tvgBEdit
            objectName: "tvgBEdit"
            maximumLength: 6
            width: c_tvgRow.m_fieldWidth
            Binding on text { when: !c_tvgRow.m_editing; value: c_root.f_shown("TVGB", 4); restoreMode: Binding.RestoreNone }
        }
        MyTextInputStyle {
            id: c_tvgCEdit
            objectName: "tvgCEdit"
            maximumLength: 6
            width: c_tvgRow.m_fieldWidth
            Binding on text { when: !c_tvgRow.m_editing; value: c_root.f_shown("TVGC", 4); restoreMode: Binding.RestoreNone }
        }
        MySettingBtnStyle {
            objectName: "tvgButton"
            enabled: c_root.m_connected
            onReleased: c_root.f_sendFloats("0x17", [c_tvgAEdit.text, c_tvgBEdit.text, c_tvgCEdit.text])
        }
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("中心频率(kHz)：")
        m_name: "realFc"
        m_value: c_root.infoCenter ? c_root.infoCenter.realFc : undefined
        m_decimals: 4
        // The field holds kilohertz; the sonar takes hertz.
        m_factor: 1000
        m_code: "0x8a"
        m_buttonEnabled: c_root.m_connected
        onSigCommand: (inCmd) => c_root.f_send(inCmd)
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        id: c_powerRow
        m_label: qsTr("发射功率：")

        // A whole number from 0 to 100, or 255; the buttons wait for a valid edit.
        property bool m_powerValid: true

        function f_isPower(text) {
            return /^(100|[1-9]?[0-9]|255)$/.test(text);
        }

        MyTextInputStyle {
            id: c_powerEdit
            objectName: "powerEdit"
            maximumLength: 10
            width: c_root.m_inputWidth - c_root.m_buttonWidth - c_root.m_spacing
            color: c_powerRow.m_powerValid ? Theme.inputText : Theme.textInvalid
            Binding on text { when: !c_powerEdit.activeFocus; value: c_root.f_shown("power", 4); restoreMode: Binding.RestoreNone }
            onTextEdited: c_powerRow.m_powerValid = c_powerRow.f_isPower(text)
        }
        MySettingBtnStyle {
            objectName: "powerButton"
            enabled: c_root.m_connected && c_powerRow.m_powerValid
            // What the field shows unedited is the sonar's header byte, which may be any value:
            // only a power the sonar takes is sent.
            onReleased: {
                if (c_powerRow.f_isPower(c_powerEdit.text))
                    c_root.f_send("0x10接0x" + parseInt(c_powerEdit.text, 10).toString(16).toUpperCase());
            }
        }
        MySettingBtnStyle {
            objectName: "powerAutoButton"
            text: qsTr("自动")
            enabled: c_root.m_connected && c_powerRow.m_powerValid
            onReleased: c_root.f_send("0x10接0xff")
        }
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("工作周期(s/帧):")
        m_name: "workCycle"
        m_value: c_root.infoCenter ? c_root.infoCenter.workCycle : undefined
        m_decimals: 3
        m_code: "0x02"
        m_buttonEnabled: c_root.m_connected
        onSigCommand: (inCmd) => c_root.f_send(inCmd)
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("声速(m/s)：")
        m_name: "velocity"
        m_value: c_root.infoCenter ? c_root.infoCenter.acousticVelocity : undefined
        m_decimals: 2
        m_code: "0x14"
        m_buttonEnabled: c_root.m_connected
        onSigCommand: (inCmd) => c_root.f_send(inCmd)
    }

    NumberParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_inputWidth: c_root.m_inputWidth
        m_label: qsTr("扫描步进(°):")
        m_name: "step"
        m_value: c_root.infoCenter ? c_root.infoCenter.vez25EDirectionAngle : undefined
        m_decimals: 4
        m_code: "0x0F"
        m_buttonEnabled: c_root.m_connected
        onSigCommand: (inCmd) => c_root.f_send(inCmd)
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: qsTr("声呐静态IP：")

        MyTextInputStyle {
            id: c_staticIpEdit
            objectName: "staticIpEdit"
            inputMode: "ip"
            maximumLength: 15
            width: c_root.m_inputWidth
            Binding on text { when: !c_staticIpEdit.activeFocus; value: c_root.infoCenter ? c_root.infoCenter.dstIp : ""; restoreMode: Binding.RestoreNone }
        }
        MySettingBtnStyle {
            objectName: "staticIpButton"
            enabled: c_root.m_connected
            onReleased: {
                var dialog = c_root.warnDialog;
                if (MyFun.f_isIpv4Address(c_staticIpEdit.text)) {
                    dialog.m_text = qsTr("此操作会修改声纳设备的ip！");
                    dialog.m_sonarDefaultIp = c_staticIpEdit.text;
                } else {
                    dialog.m_text = qsTr("ip地址格式错误，例如：192.168.1.100");
                }
                dialog.open();
            }
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth + c_root.m_inputWidth + c_root.m_spacing
        m_label: qsTr("读取版本号")

        MySettingBtnStyle {
            objectName: "versionButton"
            text: qsTr("读取")
            enabled: c_root.m_connected && !c_root.m_scanning
            onReleased: {
                c_root.f_send("0x4E");
                c_root.infoCenter.versionReturn = true;
            }
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: 0

        MyTextInputStyle {
            id: c_fpgaReadAddrEdit
            objectName: "fpgaReadAddrEdit"
            maximumLength: 4
            text: ""
            placeholderText: "地址"
            font.pixelSize: Theme.fontSizeRegister
            numberValidator: RegularExpressionValidator { regularExpression: /^[0-9A-Fa-f]{0,4}$/ }
        }
        Text {
            id: c_fpgaReadText
            objectName: "fpgaReadText"
            width: c_root.m_rowWidth - c_fpgaReadAddrEdit.width - c_root.m_buttonWidth - 2 * c_root.m_spacing
            height: parent.height
            font.pixelSize: Theme.fontSizeRegister
            verticalAlignment: Text.AlignVCenter
            horizontalAlignment: Text.AlignHCenter
            elide: Text.ElideRight
            color: Theme.primaryDark
        }
        MySettingBtnStyle {
            objectName: "fpgaReadButton"
            // The register buttons carry a longer label in the same width.
            font.pixelSize: Theme.fontSizeRegisterButton
            text: "读fpga"
            onReleased: c_root.cmdDialog.fReadFpga(c_fpgaReadAddrEdit.text)
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: 0

        MyTextInputStyle {
            id: c_fpgaWriteAddrEdit
            objectName: "fpgaWriteAddrEdit"
            maximumLength: 4
            text: ""
            placeholderText: "地址"
            numberValidator: RegularExpressionValidator { regularExpression: /^[0-9A-Fa-f]{0,4}$/ }
        }
        MyTextInputStyle {
            id: c_fpgaWriteValueEdit
            objectName: "fpgaWriteValueEdit"
            maximumLength: 8
            text: ""
            placeholderText: "内容"
            width: c_root.m_rowWidth - c_fpgaWriteAddrEdit.width - c_root.m_buttonWidth - 2 * c_root.m_spacing
            numberValidator: RegularExpressionValidator { regularExpression: /^[0-9A-Fa-f]{0,8}$/ }
        }
        MySettingBtnStyle {
            objectName: "fpgaWriteButton"
            // The register buttons carry a longer label in the same width.
            font.pixelSize: Theme.fontSizeRegisterButton
            text: "写fpga"
            onReleased: c_root.cmdDialog.fWriteFpga(c_fpgaWriteAddrEdit.text, c_fpgaWriteValueEdit.text)
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth + c_root.m_inputWidth + c_root.m_spacing
        m_label: qsTr("程序升级")

        MySettingBtnStyle {
            objectName: "upgradeButton"
            text: qsTr("升级")
            enabled: c_root.m_connected && !c_root.m_scanning
            onReleased: c_root.cmdDialog.updateApp()
        }
    }
}
