import QtQuick
import QtQuick.Controls
import "../MyStyle"
import "../PublicFunction.js" as MyFun
import "../Theme"
import InformationCenter.module 1.0

// The connection panel: the sonars found on the network, an address field and the search and
// connect buttons. Searching runs while the panel is shown.
Rectangle {
    id: c_root

    property InformationCenter infoCenter: null
    property var functionBtn: null
    property bool m_searching: true
    property bool m_tryConnecting: false

    readonly property bool m_addressValid: MyFun.f_isIpv4Address(c_connectIpEdit.text)

    // The address shown in a published row: the line after the device name.
    function f_rowAddress(row) {
        var lines = String(row).split("\n");
        return lines.length > 1 ? lines[1] : lines[0];
    }

    width: 650
    height: 450
    anchors.centerIn: parent
    z: 999
    color: Theme.connectBackground
    border.width: 2
    border.color: Theme.connectBorder
    visible: false

    onVisibleChanged: {
        if (visible) {
            m_searching = true;
            m_tryConnecting = false;
            c_connectIpEdit.forceActiveFocus();
            c_searchStatusText.visible = true;
            c_searchBtn.checked = true;
        } else {
            m_tryConnecting = false;
            infoCenter.sigCreateSearchThread(false);
            functionBtn.m_isSearchingOrTryConnecting = false;
        }
    }

    Connections {
        target: c_root.infoCenter
        function onSigTryConnectFailed() {
            c_root.m_tryConnecting = false;
        }
        // The first published row fills an empty address field; a typed address stays.
        function onSearchedNameAndIpChanged() {
            var rows = c_root.infoCenter.searchedNameAndIp;
            if (c_connectIpEdit.text === "" && rows.length > 0)
                c_connectIpEdit.text = c_root.f_rowAddress(rows[Math.max(0, c_searchedDevList.currentIndex)]);
        }
    }

    PanelMouseArea {}

    Rectangle {
        id: c_titleBar
        width: parent.width
        height: Theme.titleBarHeight
        color: Theme.connectTitleBar

        Text {
            anchors.left: parent.left
            anchors.verticalCenter: parent.verticalCenter
            text: qsTr(" 连接声呐")
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
                onReleased: {
                    c_root.infoCenter.f_setConnectStatusNone();
                    c_root.visible = false;
                }
            }
        }
    }

    Item {
        id: c_body
        anchors.top: c_titleBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: Theme.spacingNormal

        ListView {
            id: c_searchedDevList
            objectName: "c_searchedDevList"
            width: parent.width
            height: parent.height * 0.7
            clip: true
            boundsBehavior: Flickable.StopAtBounds
            model: c_root.infoCenter ? c_root.infoCenter.searchedNameAndIp : []
            ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

            // The linter of Qt 6.4 does not follow ids into a delegate; the lines that reach
            // the panel are marked.
            delegate: Rectangle {
                id: c_row
                required property int index
                required property string modelData
                readonly property var m_lines: modelData.split("\n")

                width: ListView.view ? ListView.view.width : 0
                height: 80
                color: ListView.isCurrentItem ? Theme.connectRowCurrent : Theme.connectRow
                border.color: Theme.connectRowBorder

                Column {
                    anchors.verticalCenter: parent.verticalCenter
                    x: Theme.paddingNormal
                    Text {
                        text: c_row.m_lines[0]
                        font.pixelSize: Theme.fontSizeTitle
                        color: Theme.connectText
                    }
                    Text {
                        text: c_row.m_lines.length > 1 ? c_row.m_lines[1] : ""
                        font.pixelSize: Theme.fontSizeAddress
                        color: Theme.connectText
                    }
                }

                MouseArea {
                    anchors.fill: parent
                    onReleased: {
                        c_row.ListView.view.currentIndex = c_row.index;
                        c_connectIpEdit.text = c_root.f_rowAddress(c_row.modelData); // qmllint disable unqualified
                    }
                }
            }
        }

        Text {
            id: c_searchStatusText
            objectName: "c_searchStatusText"
            anchors.centerIn: c_searchedDevList
            font.pixelSize: Theme.fontSizeHuge
            color: Theme.connectText
            text: c_root.m_tryConnecting ? qsTr("连接中") : (c_root.m_searching ? qsTr("搜索中") : "")
        }

        Row {
            anchors.top: c_searchedDevList.bottom
            anchors.topMargin: 20
            anchors.horizontalCenter: parent.horizontalCenter
            height: 40
            spacing: Theme.spacingNormal

            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "IP："
                font.pixelSize: Theme.fontSizeAddress
                color: Theme.connectText
            }
            TextField {
                id: c_connectIpEdit
                objectName: "c_connectIpEdit"
                width: 240
                height: parent.height
                font.pixelSize: Theme.fontSizeInput
                enabled: !c_root.m_tryConnecting
                color: c_root.m_addressValid ? Theme.connectAddressText : Theme.textInvalid
            }
            OnlyTextBtnStyle {
                id: c_searchBtn
                objectName: "c_searchBtn"
                height: parent.height
                checkable: true
                checked: true
                font.pixelSize: Theme.fontSizeNormal
                text: c_root.m_searching ? qsTr("停止") : qsTr("查找")

                onReleased: {
                    if (c_root.m_searching) {
                        c_root.m_searching = false;
                        c_searchStatusText.visible = false;
                        c_root.infoCenter.sigSearching(false);
                    } else {
                        c_root.m_searching = true;
                        c_searchStatusText.visible = true;
                        c_root.infoCenter.sigSearching(true);
                    }
                }
            }
            OnlyTextBtnStyle {
                id: c_connectSonarBtn
                objectName: "c_connectSonarBtn"
                height: parent.height
                font.pixelSize: Theme.fontSizeNormal
                text: c_root.m_tryConnecting ? qsTr("停止") : qsTr("连接")

                onReleased: {
                    var address = c_connectIpEdit.text;
                    if (c_root.m_tryConnecting) {
                        c_root.infoCenter.sigConnecting(false, address);
                        c_root.m_tryConnecting = false;
                    } else if (c_root.m_addressValid) {
                        // Marked before the request: the connection attempt may fail (and
                        // report it) before the signal returns.
                        c_root.m_tryConnecting = true;
                        c_root.infoCenter.sigConnecting(true, address);
                    } else {
                        c_root.infoCenter.sigTipsCMD(qsTr("警告：") + qsTr("ip 地址格式错误,例如：192.168.1.100"));
                    }
                }
            }
        }
    }
}
