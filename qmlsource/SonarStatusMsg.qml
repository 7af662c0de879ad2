import QtQuick
import "PublicFunction.js" as MyFun
import "Theme"
import InformationCenter.module 1.0

// Status box over the sector image: the device, its address while connected, and the frame
// number, brightness, contrast, range, scan step and bearing of the last frame.
Rectangle {
    id: c_root

    property InformationCenter infoCenter: null

    readonly property real m_fontSize: Window.width >= Theme.wideWindowWidth ? Theme.fontSizeNormal : Math.max(1, Window.width * 0.0175)
    readonly property bool m_connected: infoCenter !== null && infoCenter.connectOK

    function f_value(name) {
        return infoCenter ? MyFun.f_fixed(infoCenter[name], 2) : "0";
    }

    x: -8
    z: 999
    width: c_column.width + 2 * 13
    height: c_column.height + 2 * 5
    radius: 10
    color: Theme.statusBoxBackground

    component StatusText: Text {
        color: Theme.statusText
    }

    Column {
        id: c_column
        x: 13
        y: 5

        StatusText {
            objectName: "deviceNameText"
            font.pixelSize: c_root.m_fontSize
            text: c_root.infoCenter ? c_root.infoCenter.deviceName : ""
        }
        StatusText {
            objectName: "dstIpText"
            font.pixelSize: c_root.m_fontSize
            visible: c_root.m_connected
            text: c_root.infoCenter ? c_root.infoCenter.dstIp : ""
        }
        StatusText {
            objectName: "frameText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("帧号：") + (c_root.infoCenter ? c_root.infoCenter.frameSerialNum : 0)
        }
        StatusText {
            objectName: "brightnessText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("亮度：") + c_root.f_value("brightness")
        }
        StatusText {
            objectName: "gammaText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("对比度：") + c_root.f_value("gamma")
        }
        StatusText {
            objectName: "rangeText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("量程：") + c_root.f_value("maxDist")
        }
        StatusText {
            objectName: "stepText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("步进：") + c_root.f_value("vez25EDirectionAngle")
        }
        StatusText {
            objectName: "directionText"
            font.pixelSize: c_root.m_fontSize
            text: qsTr("theta 角度：") + c_root.f_value("direction")
        }
    }
}
