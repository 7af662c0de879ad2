import QtQuick
import QtQuick.Controls
import "MyStyle"
import "Theme"
import InformationCenter.module 1.0

// The floating settings panel: a title bar to drag it by, resize handles round it, and the
// rows of the working parameters in a clipped list.
Rectangle {
    id: c_root

    property InformationCenter infoCenter: null
    property var cmdDialog: null
    property var functionBtn: null
    property var warnDialog: null
    property alias m_workingParameters: c_workingParameters

    width: 400
    height: 600
    x: parent ? (parent.width - width) / 2 : 0
    y: parent ? (parent.height - height) / 2 : 0
    visible: false
    z: 9999999
    color: Theme.settingBackground
    border.width: 1
    border.color: Theme.bevelOuterBorder

    // Fields give up the focus when they show again; the title bar takes it meanwhile.
    onVisibleChanged: c_titleArea.forceActiveFocus()

    PanelMouseArea {}

    DragResizeDemo {
        resizeTarget: c_root
    }

    Rectangle {
        id: c_titleBar
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: Theme.panelInset
        height: Theme.titleBarHeight
        color: Theme.primaryDark

        MouseArea {
            id: c_titleArea
            anchors.fill: parent
            cursorShape: Qt.SizeAllCursor
            drag.target: c_root
        }
        Text {
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr(" 设置")
            font.pixelSize: Theme.fontSizeTitle
            color: Theme.textOnDark
        }
        Text {
            objectName: "closeMark"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            text: "✖ "
            font.pixelSize: Theme.fontSizeHuge
            color: Theme.textOnDark

            MouseArea {
                anchors.fill: parent
                onReleased: c_root.visible = false
            }
        }
    }

    Rectangle {
        id: c_content
        anchors.top: c_titleBar.bottom
        anchors.topMargin: Theme.panelInset
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: Theme.panelInset
        color: Theme.settingContent

        ListView {
            id: c_list
            objectName: "settingList"
            anchors.fill: parent
            anchors.margins: Theme.spacingSmall
            spacing: Theme.spacingSmall
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
            model: WorkingParameters {
                id: c_workingParameters
                infoCenter: c_root.infoCenter
                cmdDialog: c_root.cmdDialog
                functionBtn: c_root.functionBtn
                warnDialog: c_root.warnDialog
                m_rowWidth: c_list.width - 10
            }
        }
    }
}
