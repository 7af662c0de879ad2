import QtQuick
import QtQuick.Controls
import "../Theme"

// Drop-down of the settings rows: a bevelled box, centred text and a chevron that points down
// while the list is closed and right while it is open.
ComboBox {
    id: control

    padding: 0
    opacity: enabled ? 1.0 : 0.8
    font.pixelSize: Theme.fontSizeNormal

    // The linter of Qt 6.4 does not follow ids into a delegate; the lines that read the box
    // itself are marked.
    delegate: ItemDelegate {
        id: c_delegate
        required property int index
        required property var modelData
        width: ListView.view ? ListView.view.width : 0
        height: control.height // qmllint disable unqualified
        highlighted: control.highlightedIndex === index // qmllint disable unqualified
        contentItem: Text {
            text: c_delegate.modelData
            color: Theme.primaryDark
            font.pixelSize: Theme.fontSizeNormal
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            elide: Text.ElideRight
        }
    }

    indicator: Canvas {
        readonly property bool m_open: control.popup.visible

        x: control.width - width - 10
        y: control.topPadding + (control.availableHeight - height) / 2
        width: 12
        height: 12
        contextType: "2d"

        onM_openChanged: requestPaint()
        onPaint: {
            var ctx = getContext("2d");
            ctx.reset();
            ctx.lineWidth = 2;
            ctx.strokeStyle = Theme.primaryDark;
            ctx.beginPath();
            if (m_open) {
                ctx.moveTo(3, 1);
                ctx.lineTo(9, 6);
                ctx.lineTo(3, 11);
            } else {
                ctx.moveTo(1, 3);
                ctx.lineTo(6, 9);
                ctx.lineTo(11, 3);
            }
            ctx.stroke();
        }
    }

    contentItem: Text {
        text: control.displayText
        font: control.font
        color: Theme.comboText
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: MyBGRectStyle {
        implicitWidth: 120
        implicitHeight: 40
    }

    popup: Popup {
        y: control.height - 1
        width: control.width
        implicitHeight: contentItem.implicitHeight + 2
        padding: 1

        contentItem: ListView {
            clip: true
            implicitHeight: contentHeight
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            ScrollIndicator.vertical: ScrollIndicator {}
        }

        background: Rectangle {
            color: Theme.bevelOuterFill
            border.color: Theme.popupBorder
            radius: 2
        }
    }
}
