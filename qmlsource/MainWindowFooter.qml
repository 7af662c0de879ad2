import QtQuick
import QtQuick.Controls
import "MyStyle"
import "Theme"
import InformationCenter.module 1.0

// The footer bar: connection and file status on the left, the operator tips in the middle, and
// the more button, the language button and the version on the right.
Rectangle {
    id: c_root

    property InformationCenter infoCenter: null
    property var functionBtn: null
    property var languageSet: null
    property string m_userType: ""
    property string m_versionNum: ""
    property string m_buildTime: ""
    property bool isEnOrCn: false

    readonly property int m_maxTipsBeforeAppend: 50

    function f_fileStatusText() {
        if (!infoCenter)
            return "";
        var status = infoCenter.m_fileStatus;
        if (infoCenter.f_filestatusIsNone(status))
            return "";
        if (infoCenter.f_fileStatusIsReading(status))
            return qsTr("回放中");
        if (infoCenter.f_fileStatusIsSaving(status))
            return qsTr("保存中");
        return qsTr("未设置该文件状态");
    }

    // Appends one tip; the list keeps the newest 51.
    function f_addTipsText(inMsg) {
        if (c_tipsModel.count > m_maxTipsBeforeAppend)
            c_tipsModel.remove(0);
        c_tipsModel.append({ "m_msg": String(inMsg) });
        c_tipsList.positionViewAtEnd();
    }

    height: Theme.footerHeight
    z: 999
    color: Theme.footerBackground

    Component.onCompleted: {
        if (languageSet)
            isEnOrCn = languageSet.getLanguageIdx(languageSet.getCurrentLanguage()) === 1;
    }

    component Separator: Rectangle {
        anchors.verticalCenter: parent ? parent.verticalCenter : undefined
        width: 2
        height: Theme.footerItemHeight
        color: Theme.separatorDark
        Rectangle {
            anchors.right: parent.right
            width: 1
            height: parent.height
            color: Theme.separatorLight
        }
    }

    Row {
        id: c_leftRow
        height: parent.height
        spacing: Theme.spacingNormal

        Text {
            objectName: "connectText"
            anchors.verticalCenter: parent.verticalCenter
            leftPadding: Theme.paddingNormal
            font.pixelSize: Theme.fontSizeSmall
            color: Theme.textOnDark
            text: c_root.functionBtn && c_root.functionBtn.m_isConnected ? qsTr("已连接") : qsTr("未连接")
        }
        Separator {}
        Text {
            objectName: "fileStatusText"
            anchors.verticalCenter: parent.verticalCenter
            font.pixelSize: Theme.fontSizeSmall
            color: Theme.textOnDark
            text: c_root.f_fileStatusText()
            width: text.length * Theme.fontSizeSmall
        }
        Separator {}
    }

    // The list opens upwards over the window, the 3D view included.
    PanelMouseArea {
        anchors.fill: c_tipsList
    }

    ListView {
        id: c_tipsList
        objectName: "tipsList"
        anchors.left: c_leftRow.right
        anchors.leftMargin: Theme.spacingNormal
        anchors.right: c_rightRow.left
        anchors.rightMargin: Theme.spacingNormal
        anchors.bottom: parent.bottom
        height: Theme.footerHeight
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
        model: ListModel { id: c_tipsModel }

        delegate: Rectangle {
            required property int index
            required property string m_msg

            width: ListView.view ? ListView.view.width : 0
            height: Theme.footerHeight
            border.width: 1
            border.color: Theme.tipsBorder
            color: index % 2 === 0 ? Theme.tipsEvenBackground : Theme.tipsOddBackground

            Text {
                anchors.fill: parent
                leftPadding: Theme.paddingNormal
                text: parent.m_msg
                color: Theme.textOnDark
                font.pixelSize: Theme.fontSizeSmall
                horizontalAlignment: Text.AlignHCenter
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideMiddle
            }
        }
    }

    Row {
        id: c_rightRow
        anchors.right: parent.right
        height: parent.height
        spacing: Theme.spacingNormal

        Button {
            objectName: "moreButton"
            anchors.verticalCenter: parent.verticalCenter
            width: Theme.footerHeight
            height: Theme.footerHeight
            padding: 0
            icon.source: "./image/icon-more.svg"
            icon.width: Theme.footerHeight
            icon.height: Theme.footerHeight
            icon.color: "transparent"
            background: Rectangle { color: "transparent" }
            // Five entries upwards over the window, or back to the one line at the newest tip.
            onReleased: {
                if (c_tipsList.height > Theme.footerHeight) {
                    c_tipsList.height = Theme.footerHeight;
                    c_tipsList.positionViewAtEnd();
                } else {
                    c_tipsList.height = Theme.footerTipsOpenHeight;
                }
            }
        }
        Separator {}
        IconBtnStyle {
            objectName: "languageButton"
            anchors.verticalCenter: parent.verticalCenter
            height: Theme.footerItemHeight
            icon.source: c_root.isEnOrCn ? "./image/en.svg" : "./image/cn.svg"
            onReleased: {
                c_root.isEnOrCn = !c_root.isEnOrCn;
                c_root.languageSet.setLanguage(c_root.languageSet.getLanguageName(c_root.isEnOrCn ? 1 : 0));
            }
        }
        Separator {}
        Text {
            objectName: "versionText"
            anchors.verticalCenter: parent.verticalCenter
            leftPadding: Theme.paddingNormal
            rightPadding: Theme.paddingNormal
            font.pixelSize: Theme.fontSizeSmall
            color: Theme.textOnDark
            text: c_root.m_userType + " " + c_root.m_versionNum + " " + c_root.m_buildTime
        }
    }
}
