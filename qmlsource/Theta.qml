import QtQuick

// Angular scan step of the sonar, picked from a fixed ruler of steps in degrees.
RulerStepper {
    m_max: infoCenter ? infoCenter.vez25EDirectionAngle : 0
    m_commandCode: "0x0F"
    m_raiseIcon: "./image/theta-add.svg"
    m_lowerIcon: "./image/theta-cut.svg"
    m_raiseTip: "步进+"
    m_lowerTip: "步进-"

    Component.onCompleted: {
        m_maxDistRulerScale = f_makeRuler([0.1, 0.2, 0.5, 1, 2, 5]);
        f_followSonar();
    }
}
