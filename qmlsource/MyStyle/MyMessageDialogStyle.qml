import QtQuick
import QtQuick.Dialogs

// Yes/No confirmation; Yes runs the function held in m_function.
MessageDialog {
    id: c_root

    property var m_function: function () { console.log("对话框按下yes"); }

    modality: Qt.ApplicationModal
    // The linter of Qt 6.4 does not see the button enum that the dialog takes from its helper.
    buttons: MessageDialog.Yes | MessageDialog.No // qmllint disable type
    title: "确认校准"
    text: "确定要开始校准?这将需要100秒,在此过程中将无法进行任何操作!"

    onAccepted: {
        var action = c_root.m_function;
        action();
    }
}
