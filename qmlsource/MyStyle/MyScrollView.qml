import QtQuick
import QtQuick.Controls
import "../Theme"

// Kept as one of the front end's published components: no panel places it today.

// Clipped scroll view with a thin vertical bar that is always there and fades when idle.
ScrollView {
    id: control

    clip: true

    ScrollBar.vertical: ScrollBar {
        id: c_bar
        parent: control
        x: control.mirrored ? 0 : control.width - width
        y: control.topPadding
        height: control.availableHeight
        policy: ScrollBar.AlwaysOn
        padding: 2

        contentItem: Rectangle {
            implicitWidth: control.width * (c_bar.interactive ? 0.03 : 0.015)
            radius: width / 2
            color: c_bar.pressed ? Theme.scrollHandlePressed : Theme.scrollHandle
            opacity: 0

            states: State {
                name: "active"
                when: c_bar.active
                PropertyChanges { c_bar.contentItem.opacity: 0.75 }
            }
            transitions: Transition {
                from: "active"
                SequentialAnimation {
                    PauseAnimation { duration: 450 }
                    NumberAnimation { target: c_bar.contentItem; property: "opacity"; to: 0.0; duration: 200 }
                }
            }
        }
    }
}
