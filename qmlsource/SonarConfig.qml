import QtQuick
import QtQml.Models
import "MyStyle"
import "Theme"

// Kept as one of the front end's published components: no panel places it today.

// Display settings of the three-dimensional view: the strength threshold, the point size and
// the colouring of the points.
ObjectModel {
    id: c_root

    property var showPoint: null
    property real m_rowWidth: 390

    readonly property real m_labelWidth: m_rowWidth * Theme.rowLabelRatio

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: qsTr("截取强度：")

        MyTextInputStyle {
            id: c_powerThrEdit
            maximumLength: 10
            text: "0"
        }
        MySettingBtnStyle {
            onReleased: c_root.showPoint.f_setPowerThr(c_powerThrEdit.text)
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: qsTr("点的大小：")

        MyTextInputStyle {
            id: c_pointSizeEdit
            maximumLength: 10
            text: "1"
        }
        MySettingBtnStyle {
            onReleased: c_root.showPoint.f_setPointSize(c_pointSizeEdit.text)
        }
    }

    ParameterRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: "渲染模式:"

        MyComboBoxStyle {
            width: c_root.m_rowWidth - c_root.m_labelWidth - Theme.spacingSmall
            height: parent.height
            model: ["按高度渲染", "按强度渲染", "按距离渲染"]
            currentIndex: 2
            onActivated: (index) => c_root.showPoint.f_setShaderColorModel(index)
        }
    }
}
