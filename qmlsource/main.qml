import QtQuick
import QtQuick.Controls
import "CppClass"
import "FunctionBtnContent"
import "MyStyle"
import "Theme"
import "PublicFunction.js" as MyFun

// The one window: the sector image on the left three fifths with its range grid, beam lines
// and circular mask, the three-dimensional view on the right two fifths, the function buttons,
// the status box, the display controls, the panels and the footer.
ApplicationWindow {
    id: root

    // The context properties of start-up: the product name, and the parts of the version.
    title: qsTr(devName) // qmllint disable unqualified
    readonly property string m_userType: userType // qmllint disable unqualified
    readonly property string m_versionNum: versionNum // qmllint disable unqualified
    readonly property string m_buildTime: buildTime // qmllint disable unqualified
    readonly property var m_languageSet: _mLanguageSet // qmllint disable unqualified

    property var g_rootWindow: root
    property bool gridVisible: true
    property real m_yaw: c_cppInformationCenter.removeAngle
    property real m_yaw2: c_cppInformationCenter.removeAngle2
    // The window less the footer.
    readonly property real m_contentHeight: height - c_footer.height

    function f_repaintOverlays() {
        c_scale.requestPaint();
        c_canvas.requestPaint();
    }

    width: 1080
    height: 800
    visible: true
    color: Theme.windowBackground

    onGridVisibleChanged: f_repaintOverlays()
    onM_yawChanged: f_repaintOverlays()
    onM_yaw2Changed: c_canvas.requestPaint()
    // The three-dimensional view keeps its viewport in step with the window.
    onFrameSwapped: {
        c_cppShowPoint.sigSetWindowWidth(width);
        c_cppShowPoint.sigSetWindowHeight(height);
    }

    footer: MainWindowFooter {
        id: c_footer
        // The window keeps its footer among the children declared here, first of them: above
        // the controls of z 999 only with a higher z, which the open tips list needs.
        z: 1000
        infoCenter: c_cppInformationCenter
        functionBtn: c_functionBtn
        languageSet: root.m_languageSet
        m_userType: root.m_userType
        m_versionNum: root.m_versionNum
        m_buildTime: root.m_buildTime
    }

    FunctionBtn {
        id: c_functionBtn
        objectName: "c_functionBtn"
        // Its palette list drops down over the sector image, its grid and its mask.
        z: 999
        anchors.top: parent.top
        width: root.width / 4
        height: root.m_contentHeight / 20
        infoCenter: c_cppInformationCenter
        cmdDialog: c_cppCmdDialog
        showPoint: c_cppShowPoint
        connectPanel: c_connectToSonar
        settingPanel: c_setting
        rootWindow: root
    }

    // Replay: the slider over the stored sweep images and its two step buttons.
    function f_showStoredImage(index) {
        c_cppInformationCenter.palyBackVideo(index);
        f_repaintOverlays();
        c_cppShowPoint.sliceIndex = index;
    }

    component StepButton: Button {
        z: 999
        flat: true
        padding: 0
        icon.source: "./image/icon-triangle.png"
        icon.width: width * 0.8
        icon.height: height * 0.8
        icon.color: hovered ? Theme.stepButtonHover : "transparent"
        background: Rectangle { color: "transparent" }
    }

    StepButton {
        objectName: "forwardStepButton"
        width: palyBackSlider.height
        height: palyBackSlider.height
        anchors.verticalCenter: palyBackSlider.verticalCenter
        visible: palyBackSlider.visible
        anchors.left: palyBackSlider.right
        rotation: 180
        onReleased: {
            if (palyBackSlider.value < palyBackSlider.to) {
                palyBackSlider.value += 1;
                root.f_showStoredImage(palyBackSlider.value);
            }
        }
    }

    MySliderStyle {
        id: palyBackSlider
        objectName: "palyBackSlider"
        z: 999
        y: c_cppShowImage.y + c_cppShowImage.height + 15
        width: rec1.x / 4
        x: (rec1.x - width) / 2
        height: 40
        from: 0
        to: 100
        value: 0
        visible: false
        onSigValueChosen: (inValue) => root.f_showStoredImage(inValue)
    }

    StepButton {
        objectName: "backStepButton"
        width: palyBackSlider.height
        height: palyBackSlider.height
        anchors.verticalCenter: palyBackSlider.verticalCenter
        visible: palyBackSlider.visible
        anchors.right: palyBackSlider.left
        onReleased: {
            if (palyBackSlider.value > palyBackSlider.from) {
                palyBackSlider.value -= 1;
                root.f_showStoredImage(palyBackSlider.value);
            }
        }
    }

    Text {
        objectName: "palyBackValueText"
        z: 999
        y: palyBackSlider.y + palyBackSlider.height - 10
        x: (rec1.x - width) / 2
        visible: palyBackSlider.visible
        font.pixelSize: Theme.fontSizeHuge
        color: Theme.replayValueText
        text: palyBackSlider.value
    }

    SonarStatusMsg {
        id: c_ConnectStatusMsg
        objectName: "c_ConnectStatusMsg"
        y: c_functionBtn.height + Theme.spacingNormal
        infoCenter: c_cppInformationCenter
    }

    // Everything of the sector image outside its inscribed circle is black.
    Canvas {
        id: cover
        objectName: "cover"
        z: 99
        x: c_cppShowImage.x
        y: c_cppShowImage.y
        height: c_cppShowImage.height
        width: height
        onWidthChanged: requestPaint()
        onPaint: {
            var ctx = getContext("2d");
            ctx.reset();
            ctx.fillStyle = Theme.windowBackground;
            ctx.fillRect(0, 0, width, height);
            ctx.globalCompositeOperation = "destination-out";
            ctx.beginPath();
            ctx.arc(width / 2, height / 2, height / 2, 0, 2 * Math.PI);
            ctx.fill();
        }
    }

    // Range labels, and with the grid the cross, the diagonals and the quarter circles.
    Canvas {
        id: c_scale
        objectName: "scale"
        z: 9
        x: c_cppShowImage.x
        y: c_cppShowImage.y
        height: root.m_contentHeight - c_functionBtn.height - c_readFileCtl.height - 100
        width: height
        onHeightChanged: requestPaint()

        Connections {
            target: c_cppInformationCenter
            function onMaxDistChanged() { c_scale.requestPaint(); }
        }

        onPaint: {
            var ctx = getContext("2d");
            ctx.reset();
            var centre = height / 2;
            var radius = height / 2;
            ctx.font = Theme.fontSizeSmall + "px sans-serif";
            ctx.fillStyle = Theme.overlayText;
            ctx.textAlign = "center";
            ctx.textBaseline = "top";
            var labels = MyFun.f_rangeLabels(c_cppInformationCenter.maxDist, root.gridVisible, radius,
                                             function (text) { return ctx.measureText(text).width; });
            for (var i = 0; i < labels.length; ++i)
                ctx.fillText(labels[i].text, centre + labels[i].x, centre - 20);
            ctx.beginPath();
            if (root.gridVisible) {
                var diagonal = radius / Math.SQRT2;
                ctx.moveTo(centre, 0);
                ctx.lineTo(centre, height);
                ctx.moveTo(0, centre);
                ctx.lineTo(width, centre);
                ctx.moveTo(centre - diagonal, centre - diagonal);
                ctx.lineTo(centre + diagonal, centre + diagonal);
                ctx.moveTo(centre - diagonal, centre + diagonal);
                ctx.lineTo(centre + diagonal, centre - diagonal);
            }
            var radii = root.gridVisible ? [radius, radius / 2, radius / 4, radius * 3 / 4] : [radius];
            for (var k = 0; k < radii.length; ++k) {
                ctx.moveTo(centre + radii[k], centre);
                ctx.arc(centre, centre, radii[k], 0, 2 * Math.PI);
            }
            ctx.strokeStyle = Theme.overlayLine;
            ctx.lineWidth = 1;
            ctx.stroke();
        }
    }

    CppShowImage {
        id: c_cppShowImage
        objectName: "c_cppShowImage"
        z: 1
        y: 2 * c_functionBtn.height
        height: c_scale.height
        width: height
        x: root.width * 3 / 10 - width / 2

        // The beam lines from the centre to the rim, clockwise from straight up.
        Canvas {
            id: c_canvas
            objectName: "canvas"
            anchors.fill: parent
            antialiasing: true
            onPaint: {
                var ctx = getContext("2d");
                ctx.reset();
                var centre = width / 2;
                var radius = height / 2;
                ctx.strokeStyle = Theme.overlayLine;
                ctx.lineWidth = 2;
                var bearings = root.m_yaw2 === 65535 ? [root.m_yaw] : [root.m_yaw, root.m_yaw2];
                ctx.beginPath();
                for (var i = 0; i < bearings.length; ++i) {
                    var angle = bearings[i] * Math.PI / 180;
                    ctx.moveTo(centre, height / 2);
                    ctx.lineTo(centre + radius * Math.sin(angle), height / 2 - radius * Math.cos(angle));
                }
                ctx.stroke();
            }
        }
    }

    CppShowPoint {
        id: c_cppShowPoint
        objectName: "c_cppShowPoint"
        anchors.fill: parent
        focus: true

        property bool moveOrRotation: false

        MouseArea {
            id: c_viewMouseArea
            objectName: "viewMouseArea"
            x: root.width * 3 / 5
            width: root.width * 2 / 5
            height: parent.height
            acceptedButtons: Qt.LeftButton | Qt.MiddleButton | Qt.RightButton
            property point m_last: Qt.point(0, 0)

            onWheel: (wheel) => {
                c_cppShowPoint.scale = c_cppShowPoint.scale * (wheel.angleDelta.y > 0 ? 1.1 : 0.9);
            }
            onPressed: (mouse) => {
                m_last = Qt.point(mouse.x, mouse.y);
                if (mouse.buttons === Qt.RightButton)
                    c_cppShowPoint.moveOrRotation = true;
                else if (mouse.buttons === Qt.LeftButton)
                    c_cppShowPoint.moveOrRotation = false;
            }
            onPositionChanged: (mouse) => {
                if (!pressed)
                    return;
                var dx = (mouse.x - m_last.x) / width;
                var dy = (mouse.y - m_last.y) / height;
                if (c_cppShowPoint.moveOrRotation) {
                    c_cppShowPoint.sigMovePointCloud(dx, dy);
                } else {
                    c_cppShowPoint.roll += 270 * dx;
                    c_cppShowPoint.pitch += -270 * dy;
                    c_cppShowPoint.heading += 270 * dx;
                }
                m_last = Qt.point(mouse.x, mouse.y);
            }
            onDoubleClicked: c_cppShowPoint.requestReset()
        }
    }

    Rectangle {
        id: rec1
        objectName: "rec1"
        z: 999
        x: root.width * 3 / 5
        width: 3
        height: parent.height
        gradient: Gradient {
            GradientStop { position: 0.0; color: Theme.dividerTop }
            GradientStop { position: 1.0; color: Theme.footerBackground }
        }
    }

    ConnectToSonar {
        id: c_connectToSonar
        objectName: "c_connectToSonar"
        infoCenter: c_cppInformationCenter
        functionBtn: c_functionBtn
    }

    Setting {
        id: c_setting
        objectName: "c_setting"
        infoCenter: c_cppInformationCenter
        cmdDialog: c_cppCmdDialog
        functionBtn: c_functionBtn
        warnDialog: c_warnMsgDialog
    }

    Brightness2D {
        id: qml_brightness2D
        objectName: "qml_brightness2D"
        z: 999
        anchors.left: parent.left
        anchors.bottom: parent.bottom
        height: c_cppShowImage.height / 10
        width: 2 * height
        visible: c_cppInformationCenter.connectOK
        infoCenter: c_cppInformationCenter
        m_readingFile: c_functionBtn.m_readingFile
        onVisibleChanged: {
            if (visible)
                palyBackSlider.visible = false;
        }
    }
    Gamma {
        id: qml_gamma
        objectName: "qml_gamma"
        z: 999
        anchors.left: qml_brightness2D.right
        anchors.bottom: parent.bottom
        height: qml_brightness2D.height
        width: 2 * height
        visible: qml_brightness2D.visible
        infoCenter: c_cppInformationCenter
    }
    Dist {
        id: qml_dist
        objectName: "qml_dist"
        z: 999
        anchors.left: qml_gamma.right
        anchors.bottom: parent.bottom
        height: qml_brightness2D.height
        width: 2 * height
        visible: c_cppInformationCenter.connectOK
        infoCenter: c_cppInformationCenter
    }
    Theta {
        id: qml_theta
        objectName: "qml_theta"
        z: 999
        anchors.left: qml_dist.right
        anchors.bottom: parent.bottom
        height: qml_brightness2D.height
        width: 2 * height
        visible: c_cppInformationCenter.connectOK
        infoCenter: c_cppInformationCenter
    }

    ReadFileCtl {
        id: c_readFileCtl
        objectName: "c_readFileCtl"
        anchors.bottom: parent.bottom
        width: parent.width
        height: Theme.replayBarHeight
        visible: false
        infoCenter: c_cppInformationCenter
    }

    ForbiddenMask {
        id: c_forbiddenMask
        objectName: "c_forbiddenMask"
    }

    WarnMsgDialog {
        id: c_warnMsgDialog
        objectName: "c_warnMsgDialog"
        width: 300
        height: 240
        infoCenter: c_cppInformationCenter
    }

    MyMessageDialogStyle {
        id: c_myMessageDialogStyle
    }

    CppInformationCenter {
        id: c_cppInformationCenter
        objectName: "c_cppInformationCenter"
        footer: c_footer
        warnDialog: c_warnMsgDialog
        connectPanel: c_connectToSonar
        functionBtn: c_functionBtn
        readFileCtl: c_readFileCtl

        onUpdateSchedule: (value) => {
            palyBackSlider.to = value;
            palyBackSlider.value = value;
            root.f_repaintOverlays();
        }
        onPalyBackEnable: (value) => {
            palyBackSlider.visible = value;
            c_cppShowPoint.sliceIndex = palyBackSlider.value;
        }
    }

    CppCmdDialog {
        id: c_cppCmdDialog
        objectName: "c_cppCmdDialog"
        infoCenter: c_cppInformationCenter
        forbiddenMask: c_forbiddenMask
    }

    CppScreenShot {
        id: c_cppScreenShot
    }
}
