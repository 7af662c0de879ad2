import QtQuick

// Range of the sonar, picked from a ruler of ranges up to the device's maximum range.
RulerStepper {
    id: c_root

    property real m_maxRange: infoCenter ? infoCenter.maxRange : 150
    property var m_baseRulerScale: []
    // The ruler starts as the base; it is rebuilt on a change of maxRange after that.
    property bool m_completed: false

    // Above 100 m the ruler goes on in steps of 50 m; this many entries at most, so that an
    // absurd maximum range cannot make an endless ruler.
    readonly property int m_maxRulerLength: 100

    m_max: infoCenter ? infoCenter.maxDist : 0
    m_commandCode: "0x09"
    m_raiseIcon: "./image/dist-add.svg"
    m_lowerIcon: "./image/dist-cut.svg"
    m_raiseTip: "距离+"
    m_lowerTip: "距离-"

    // The ruler for a device whose largest range is maxRange: the base values up to it, then
    // maxRange itself. null when maxRange is of no use as a range (not finite, not positive).
    function f_rulerValues(maxRange) {
        if (!isFinite(maxRange) || maxRange <= 0)
            return null;
        var values = [];
        for (var i = 0; i < m_baseRulerScale.length; ++i) {
            var base = m_baseRulerScale[i].m_value;
            if (base > maxRange)
                break;
            values.push(base);
        }
        if (maxRange > 100) {
            for (var step = 150; step < maxRange && values.length < m_maxRulerLength - 1; step += 50)
                values.push(step);
        }
        if (values.length === 0 || values[values.length - 1] < maxRange)
            values.push(maxRange);
        return values;
    }

    function updateRulerScale() {
        var values = f_rulerValues(m_maxRange);
        if (values === null) {
            console.warn("Dist: maximum range", m_maxRange, "is not a range; the ruler stays as it is");
            return;
        }
        m_maxDistRulerScale = f_makeRuler(values);
        // The picked entry stays where it was, but never beyond the end of a shorter ruler.
        maxValue = Math.min(maxValue, m_maxDistRulerScale.length - 1);
    }

    onM_maxRangeChanged: {
        if (m_completed)
            updateRulerScale();
    }

    Component.onCompleted: {
        m_baseRulerScale = f_makeRuler([1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100]);
        m_maxDistRulerScale = f_makeRuler([1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100]);
        m_completed = true;
        f_followSonar();
    }
}
