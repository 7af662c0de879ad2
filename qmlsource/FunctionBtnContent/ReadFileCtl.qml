import QtQuick
import QtQuick.Controls
import "../MyStyle"
import "../Theme"
import InformationCenter.module 1.0

// Replay control bar: a frame slider and a play/pause pair. The main window keeps it hidden.
Rectangle {
    id: c_root

    property InformationCenter infoCenter: null
    property real totalFrame: 100

    function setSliderLength(inLength) {
        totalFrame = inLength;
    }
    function f_setCurrentFrame(inFrame) {
        c_frameSlider.value = inFrame;
    }

    height: Theme.replayBarHeight
    color: Theme.primaryDark
    opacity: 0.65

    Row {
        anchors.fill: parent
        anchors.margins: Theme.spacingSmall
        spacing: Theme.spacingNormal

        IconBtnStyle {
            objectName: "playButton"
            icon.source: "../image/replayStart.svg"
            m_toolTip: "播放"
            onReleased: c_root.infoCenter.sigPause(false)
        }
        IconBtnStyle {
            objectName: "pauseButton"
            icon.source: "../image/replayStop.svg"
            m_toolTip: "暂停"
            onReleased: c_root.infoCenter.sigPause(true)
        }

        Slider {
            id: c_frameSlider
            objectName: "frameSlider"
            width: parent.width - 2 * parent.height - 2 * parent.spacing
            height: parent.height
            from: 0
            to: c_root.totalFrame
            stepSize: 1

            onMoved: {
                c_root.infoCenter.sigPause(true);
                c_root.infoCenter.sigGotoFrame(value, false);
            }

            background: Rectangle {
                x: c_frameSlider.leftPadding
                y: c_frameSlider.topPadding + c_frameSlider.availableHeight / 2 - height / 2
                width: c_frameSlider.availableWidth
                height: 4
                radius: 2
                color: Theme.frameTrack

                Rectangle {
                    width: c_frameSlider.visualPosition * parent.width
                    height: parent.height
                    radius: 2
                    color: Theme.framePlayed
                }
            }

            handle: Image {
                x: c_frameSlider.leftPadding + c_frameSlider.visualPosition * (c_frameSlider.availableWidth - width)
                y: c_frameSlider.topPadding + c_frameSlider.availableHeight / 2 - height
                width: 40
                height: 30
                source: "../image/tips.svg"

                Text {
                    anchors.centerIn: parent
                    anchors.verticalCenterOffset: -3
                    text: c_frameSlider.value.toFixed(0)
                    font.pixelSize: Theme.fontSizeTiny
                    color: Theme.textOnDark
                }
            }
        }
    }
}
