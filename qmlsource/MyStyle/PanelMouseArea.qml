import QtQuick

// Lies under a panel's own controls and fills the panel: presses, drags and wheel turns over the
// panel end here, whatever button, and never reach what lies behind it (the 3D view turns, moves
// and zooms on them).
MouseArea {
    anchors.fill: parent
    acceptedButtons: Qt.AllButtons
    onWheel: (wheel) => { wheel.accepted = true; }
}
