import QtQuick

// Bevelled background: an outer rectangle with a one-pixel border and an inner face one pixel in.
Rectangle {
    id: c_root

    property color bg_color: Qt.rgba(227 / 255, 233 / 255, 247 / 255, 1)
    property real bg_radius: 5

    anchors.fill: parent
    radius: bg_radius
    color: Qt.rgba(129 / 255, 147 / 255, 166 / 255, 1)
    border.width: 1
    border.color: Qt.rgba(119 / 255, 137 / 255, 156 / 255, 1)

    Rectangle {
        anchors.fill: parent
        anchors.margins: 1
        radius: c_root.bg_radius
        color: c_root.bg_color
        border.width: 1
        border.color: Qt.rgba(159 / 255, 177 / 255, 186 / 255, 1)
    }
}
