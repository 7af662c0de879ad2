import QtQuick
import QtQuick.Controls
import "CppClass"

ApplicationWindow {
    id: root
    width: 1080
    height: 800
    visible: true
    color: "black"
    title: qsTr(devName)

    CppShowImage {
        id: c_cppShowImage
        objectName: "c_cppShowImage"
        z: 1
        height: root.height - 100
        width: height
        x: root.width * 3 / 10 - width / 2
        y: 50
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
