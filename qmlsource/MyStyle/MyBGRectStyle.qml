import QtQuick
import "../Theme"

// Bevelled background: an outer rectangle with a one-pixel border and an inner face one pixel in.
Rectangle {
    id: c_root

    property color bg_color: Theme.bevelInnerFill
    property real bg_radius: Theme.controlRadius

    anchors.fill: parent
    radius: bg_radius
    color: Theme.bevelOuterFill
    border.width: 1
    border.color: Theme.bevelOuterBorder

    Rectangle {
        anchors.fill: parent
        anchors.margins: 1
        radius: c_root.bg_radius
        color: c_root.bg_color
        border.width: 1
        border.color: Theme.bevelInnerBorder
    }
}
