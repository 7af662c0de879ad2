import QtQuick
import "Theme"

// One row of a settings list: a label on the left, then the row's inputs and buttons.
Row {
    property alias m_label: c_label.text
    property real m_labelWidth: 100

    height: Theme.rowHeight
    spacing: Theme.spacingSmall

    // A row without a label (the register rows) leaves it out, with its spacing.
    Text {
        id: c_label
        visible: width > 0
        width: parent.m_labelWidth
        height: parent.height
        font.pixelSize: Theme.fontSizeNormal
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 10
        verticalAlignment: Text.AlignVCenter
        color: Theme.primaryDark
    }
}
