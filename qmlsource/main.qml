import QtQuick
import QtQuick.Controls

ApplicationWindow {
    id: root
    width: 1080
    height: 800
    visible: true
    color: "black"
    title: qsTr(devName) // qmllint disable unqualified
}
