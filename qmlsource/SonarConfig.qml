import QtQuick
import QtQml.Models
import "MyStyle"

// Display settings of the three-dimensional view: the strength threshold, the point size and
// the colouring of the points.
ObjectModel {
    id: c_root

    property var showPoint: null
    property real m_rowWidth: 390

    readonly property real m_labelWidth: m_rowWidth * 0.38

    component ConfigRow: Row {
        property alias m_label: c_label.text
        property real m_labelWidth: 100

        height: 36
        spacing: 5

        Text {
            id: c_label
            width: parent.m_labelWidth
            height: parent.height
            font.pixelSize: 18
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 10
            verticalAlignment: Text.AlignVCenter
            color: "#001d41"
        }
    }

    ConfigRow {
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

    ConfigRow {
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

    ConfigRow {
        width: c_root.m_rowWidth
        m_labelWidth: c_root.m_labelWidth
        m_label: "渲染模式:"

        MyComboBoxStyle {
            width: c_root.m_rowWidth - c_root.m_labelWidth - 5
            height: parent.height
            model: ["按高度渲染", "按强度渲染", "按距离渲染"]
            currentIndex: 2
            onActivated: (index) => c_root.showPoint.f_setShaderColorModel(index)
        }
    }
}
