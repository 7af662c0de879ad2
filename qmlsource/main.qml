import QtQuick
import QtQuick.Controls
import "CppClass"

ApplicationWindow {
    id: root
    width: 1080
    height: 800
    visible: true
    color: "black"
    title: qsTr(devName) // qmllint disable unqualified

    // The 3D view follows the window's size; each frame asks for the next.
    onFrameSwapped: {
        c_cppShowPoint.sigSetWindowWidth(width)
        c_cppShowPoint.sigSetWindowHeight(height)
    }

    CppShowImage {
        id: c_cppShowImage
        objectName: "c_cppShowImage"
        z: 1
        height: root.height - 100
        width: height
        x: root.width * 3 / 10 - width / 2
        y: 50
    }

    CppShowPoint {
        id: c_cppShowPoint
        objectName: "c_cppShowPoint"
        anchors.fill: parent
        focus: true
    }

    CppInformationCenter {
        id: c_cppInformationCenter
        objectName: "c_cppInformationCenter"
    }

    CppCmdDialog {
        id: c_cppCmdDialog
        objectName: "c_cppCmdDialog"
    }

    CppScreenShot {
        id: c_cppScreenShot
    }
}
