import QtQuick
import "MyStyle"
import InformationCenter.module 1.0

// Contrast (gamma) of the sector image, 0.5 to 1.5 in steps of 0.05; the host applies it.
Item {
    id: c_root

    property InformationCenter infoCenter: null
    property real gammaValue: 1.4

    function f_step(delta) {
        // Hundredths, so that repeated steps land exactly on 0.5 and 1.5.
        var value = Math.round((gammaValue + delta) * 100) / 100;
        gammaValue = Math.max(0.5, Math.min(1.5, value));
        infoCenter.targetGamma = gammaValue;
    }

    Row {
        anchors.fill: parent

        FlatIconBtnStyle {
            objectName: "raiseButton"
            icon.source: "./image/gamma-add.svg"
            m_toolTip: "对比度+"
            enabled: c_root.gammaValue < 1.5
            onReleased: c_root.f_step(0.05)
        }
        FlatIconBtnStyle {
            objectName: "lowerButton"
            icon.source: "./image/gamma-cut.svg"
            m_toolTip: "对比度-"
            enabled: c_root.gammaValue > 0.5
            onReleased: c_root.f_step(-0.05)
        }
    }
}
