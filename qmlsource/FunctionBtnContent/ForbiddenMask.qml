import QtQuick
import "../Theme"

// Busy overlay over the whole window: dims everything, swallows every mouse input and shows a
// spinner. The command channel hides it when its long operation ends.
Rectangle {
    anchors.fill: parent
    z: 999
    color: Theme.busyMask
    opacity: 0.5
    visible: false

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.AllButtons
        hoverEnabled: true
        preventStealing: true
        onWheel: (wheel) => { wheel.accepted = true; }
    }

    AnimatedImage {
        anchors.centerIn: parent
        width: 200
        height: 200
        source: "../image/loading.gif"
        playing: parent.visible
    }
}
