import QtQuick
import "MyStyle"
import "PublicFunction.js" as MyFun
import InformationCenter.module 1.0

// A value picked from a ruler of fixed steps with a raise and a lower button; each press sends
// the command code followed by the picked value as a float. The ruler is a list of
// { m_index, m_value } entries; maxValue is the index of the picked entry.
Item {
    id: c_root

    property InformationCenter infoCenter: null
    property int maxValue: 0
    // The sonar's current value; the picked entry follows it.
    property real m_max: 0
    property var m_maxDistRulerScale: []
    property string m_commandCode: ""
    property url m_raiseIcon
    property url m_lowerIcon
    property string m_raiseTip: ""
    property string m_lowerTip: ""

    function textToFloatToHex(inText) {
        return MyFun.textToFloatToHex(inText);
    }

    function f_makeRuler(values) {
        return values.map(function (value, index) { return { m_index: index, m_value: value }; });
    }

    // Index of the entry nearest to value; on equal distance the earlier one.
    function f_nearestIndex(value) {
        var best = 0;
        for (var i = 1; i < m_maxDistRulerScale.length; ++i) {
            if (Math.abs(m_maxDistRulerScale[i].m_value - value) < Math.abs(m_maxDistRulerScale[best].m_value - value))
                best = i;
        }
        return best;
    }

    function f_followSonar() {
        if (m_maxDistRulerScale.length > 0 && isFinite(m_max))
            maxValue = f_nearestIndex(m_max);
    }

    function f_step(delta) {
        var last = m_maxDistRulerScale.length - 1;
        if (last < 0)
            return;
        maxValue = Math.max(0, Math.min(last, maxValue + delta));
        var payload = textToFloatToHex(String(m_maxDistRulerScale[maxValue].m_value));
        if (payload !== "")
            infoCenter.str_cmd = m_commandCode + "接" + payload;
    }

    onM_maxChanged: f_followSonar()

    Row {
        anchors.fill: parent

        FlatIconBtnStyle {
            objectName: "raiseButton"
            icon.source: c_root.m_raiseIcon
            m_toolTip: c_root.m_raiseTip
            enabled: c_root.maxValue < c_root.m_maxDistRulerScale.length - 1
            onReleased: c_root.f_step(1)
        }
        FlatIconBtnStyle {
            objectName: "lowerButton"
            icon.source: c_root.m_lowerIcon
            m_toolTip: c_root.m_lowerTip
            enabled: c_root.maxValue > 0
            onReleased: c_root.f_step(-1)
        }
    }
}
