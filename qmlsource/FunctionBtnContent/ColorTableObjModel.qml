import QtQuick
import QtQuick.Controls
import QtQml.Models
import "../Theme"
import InformationCenter.module 1.0

// The six palette buttons of the pop-up list: each previews its palette as a gradient and, on
// release, selects it for the sector image and for the slice of the three-dimensional view.
ObjectModel {
    id: c_root

    required property real height
    property int m_colorTableCount: 7
    property InformationCenter infoCenter: null
    property var showPoint: null

    function f_choose(index) {
        infoCenter.switchColor = index;
        showPoint.f_setColorTable(index);
    }

    component PaletteButton: Button {
        id: c_button
        property int m_index: 0
        property bool m_selected: false
        property Gradient m_gradient

        padding: 0
        background: Rectangle {
            radius: 6
            border.color: c_button.m_selected ? Theme.paletteSelectedBorder : Theme.paletteBorder
            border.width: c_button.m_selected ? 2 : 0
            gradient: c_button.m_gradient
        }
    }

    PaletteButton {
        objectName: "palette0"
        m_index: 0
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 1) }
            GradientStop { position: 127 / 255; color: Qt.rgba(242 / 255, 154 / 255, 0, 1) }
            GradientStop { position: 159 / 255; color: Qt.rgba(1, 240 / 255, 198 / 255, 1) }
            GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 1) }
        }
    }
    PaletteButton {
        objectName: "palette1"
        m_index: 1
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(1 / 255, 1 / 255, 1 / 255, 1) }
            GradientStop { position: 80 / 255; color: Qt.rgba(207 / 255, 29 / 255, 17 / 255, 1) }
            GradientStop { position: 160 / 255; color: Qt.rgba(206 / 255, 173 / 255, 26 / 255, 1) }
            GradientStop { position: 1; color: Qt.rgba(253 / 255, 234 / 255, 25 / 255, 1) }
        }
    }
    PaletteButton {
        objectName: "palette2"
        m_index: 2
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(1 / 255, 7 / 255, 0, 1) }
            GradientStop { position: 80 / 255; color: Qt.rgba(84 / 255, 122 / 255, 0, 1) }
            GradientStop { position: 160 / 255; color: Qt.rgba(205 / 255, 222 / 255, 45 / 255, 1) }
            GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 1) }
        }
    }
    PaletteButton {
        objectName: "palette3"
        m_index: 3
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(0, 5 / 255, 19 / 255, 1) }
            GradientStop { position: 80 / 255; color: Qt.rgba(0, 122 / 255, 190 / 255, 1) }
            GradientStop { position: 160 / 255; color: Qt.rgba(45 / 255, 221 / 255, 243 / 255, 1) }
            GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 1) }
        }
    }
    PaletteButton {
        objectName: "palette4"
        m_index: 4
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(0, 0, 0, 1) }
            GradientStop { position: 110 / 255; color: Qt.rgba(4 / 255, 138 / 255, 1, 1) }
            GradientStop { position: 190 / 255; color: Qt.rgba(1, 1, 0, 1) }
            GradientStop { position: 1; color: Qt.rgba(1, 1, 1, 1) }
        }
    }
    PaletteButton {
        objectName: "palette5"
        m_index: 5
        width: c_root.height
        height: c_root.height / c_root.m_colorTableCount
        m_selected: c_root.infoCenter !== null && c_root.infoCenter.switchColor === m_index
        onReleased: c_root.f_choose(m_index)
        m_gradient: Gradient {
            orientation: Gradient.Horizontal
            GradientStop { position: 0; color: Qt.rgba(0, 16 / 255, 48 / 255, 1) }
            GradientStop { position: 17 / 255; color: Qt.rgba(0, 33 / 255, 65 / 255, 1) }
            GradientStop { position: 48 / 255; color: Qt.rgba(15 / 255, 48 / 255, 80 / 255, 1) }
            GradientStop { position: 209 / 255; color: Qt.rgba(176 / 255, 209 / 255, 80 / 255, 1) }
            GradientStop { position: 241 / 255; color: Qt.rgba(240 / 255, 241 / 255, 48 / 255, 1) }
            GradientStop { position: 254 / 255; color: Qt.rgba(253 / 255, 254 / 255, 48 / 255, 1) }
            GradientStop { position: 1; color: Qt.rgba(1, 0, 0, 1) }
        }
    }
}
