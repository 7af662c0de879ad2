import QtQuick
import QtQuick.Controls
import "../Theme"
import InformationCenter.module 1.0

// The program's message dialog: a title, a text and the buttons OK and Cancel. When the settings
// panel asks to confirm a new fixed address of the sonar, OK says that the sonar offers no way
// to set one.
Dialog {
    id: c_root

    property InformationCenter infoCenter: null
    property string m_text: "提示"
    property string m_sonarDefaultIp: ""

    title: "提示"
    anchors.centerIn: parent
    padding: 0

    onClosed: m_sonarDefaultIp = ""

    function f_accept() {
        if (m_sonarDefaultIp !== "" && infoCenter)
            infoCenter.sigTipsCMD("声呐不支持设置静态IP / Setting the sonar's fixed IP is not available: " + m_sonarDefaultIp);
        close();
    }

    // The bottom bar, a fifth of the content below the title, holds a row 0.8 of its height,
    // padded by 0.1 of the row's height.
    readonly property real m_barHeight: contentItem ? contentItem.height * 0.2 : 0
    readonly property real m_buttonHeight: m_barHeight * 0.8 * 0.8

    component BarButton: Button {
        // Twice as wide as high, or as wide as the text needs on a small dialog.
        width: Math.max(height * 2, implicitContentWidth + 8)
        padding: 0
        font.pixelSize: Theme.fontSizeNormal
        background: MyBGRectStyle {
            bg_color: Theme.dialogButtonFace
            border.color: Theme.dialogButtonBorder
        }
    }

    contentItem: Rectangle {
        color: Theme.dialogBackground
        border.width: 1
        border.color: Theme.dialogBorder

        Text {
            objectName: "messageText"
            width: parent.width
            height: parent.height * 0.8
            padding: Theme.paddingNormal
            text: c_root.m_text
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            font.pixelSize: Theme.fontSizeNormal
        }

        Rectangle {
            objectName: "buttonBar"
            anchors.bottom: parent.bottom
            width: parent.width
            height: c_root.m_barHeight
            color: Theme.dialogBackground
            border.width: 1
            border.color: Theme.dialogBorder

            Row {
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                height: c_root.m_barHeight * 0.8
                padding: height * 0.1
                spacing: Theme.spacingSmall
                layoutDirection: Qt.RightToLeft

                BarButton {
                    objectName: "okButton"
                    height: c_root.m_buttonHeight
                    text: "OK"
                    onReleased: c_root.f_accept()
                }
                BarButton {
                    objectName: "cancelButton"
                    height: c_root.m_buttonHeight
                    text: "Cancel"
                    onReleased: c_root.close()
                }
            }
        }
    }
}
