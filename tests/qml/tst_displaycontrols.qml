import QtQuick
import QtTest
import InformationCenter.module 1.0
import "qrc:/qmlsource"

TestCase {
    id: c_test
    name: "DisplayControls"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component { id: c_hubComponent; InformationCenter {} }
    Component { id: c_standInsComponent; StandIns {} }
    Component { id: c_brightnessComponent; Brightness2D { width: 116; height: 58 } }
    Component { id: c_gammaComponent; Gamma { width: 116; height: 58 } }
    Component { id: c_distComponent; Dist { width: 116; height: 58 } }
    Component { id: c_thetaComponent; Theta { width: 116; height: 58 } }
    Component { id: c_spyComponent; SignalSpy {} }

    property var hub
    property var standIns

    function init() {
        hub = createTemporaryObject(c_hubComponent, c_test);
        standIns = createTemporaryObject(c_standInsComponent, c_test, { hub: hub });
    }
    function make(component) {
        var panel = createTemporaryObject(component, c_test, { infoCenter: hub });
        verify(panel);
        return panel;
    }
    function raise(panel) { return findChild(panel, "raiseButton"); }
    function lower(panel) { return findChild(panel, "lowerButton"); }
    function rulerValues(panel) {
        return panel.m_maxDistRulerScale.map(function (entry) { return entry.m_value; });
    }

    function test_brightnessCommands_data() {
        return [
            { tag: "raise from 0", start: 0, press: "raise", command: "0x18接0x1" },
            { tag: "raise to 10", start: 9, press: "raise", command: "0x18接0xa" },
            { tag: "raise to 16", start: 15, press: "raise", command: "0x18接0x10" },
            { tag: "lower from 16", start: 16, press: "lower", command: "0x18接0xf" },
            { tag: "lower to 0", start: 1, press: "lower", command: "0x18接0x0" },
            // A byte from the sonar's header above the scale: the value sent stays on it.
            { tag: "lower from a header value of 200", start: 200, press: "lower", command: "0x18接0x10" }
        ];
    }
    function test_brightnessCommands(data) {
        hub.brightness = data.start;
        var panel = make(c_brightnessComponent);
        compare(standIns.commands, [], "a value from the sonar sends nothing");
        mouseClick(data.press === "raise" ? raise(panel) : lower(panel));
        compare(standIns.commands, [data.command]);
        verify(panel.brightnessValue >= 0 && panel.brightnessValue <= 16);
    }

    function test_brightnessLimits() {
        hub.brightness = 16;
        var panel = make(c_brightnessComponent);
        verify(!raise(panel).enabled);
        verify(lower(panel).enabled);
        compare(raise(panel).icon.color, "#ff0000");
        hub.brightness = 0;
        verify(raise(panel).enabled);
        verify(!lower(panel).enabled);
        compare(raise(panel).m_toolTip, "亮度+");
        compare(lower(panel).m_toolTip, "亮度-");
    }

    function test_brightnessWhileReplaying() {
        var offset = createTemporaryObject(c_spyComponent, c_test, { target: hub, signalName: "sigBrightnessOffset" });
        hub.brightness = 4;
        var panel = make(c_brightnessComponent);
        panel.m_readingFile = true;
        mouseClick(raise(panel));
        compare(standIns.commands, []);
        compare(offset.count, 1);
        compare(offset.signalArguments[0][0], 5);
        hub.brightness = 9;
        compare(panel.brightnessValue, 5, "after a press the panel keeps its own value");
    }

    function test_gamma() {
        var panel = make(c_gammaComponent);
        var changes = createTemporaryObject(c_spyComponent, c_test, { target: hub, signalName: "targetGammaChanged" });
        mouseClick(raise(panel));
        compare(hub.targetGamma, 1.45);
        mouseClick(raise(panel));
        compare(hub.targetGamma, 1.5);
        verify(!raise(panel).enabled);
        for (var i = 0; i < 20; ++i)
            mouseClick(lower(panel));
        compare(hub.targetGamma, 0.5);
        verify(!lower(panel).enabled);
        compare(changes.count, 22, "every step of 0.05 down to 0.5 lands on it exactly");
        compare(standIns.commands, []);
    }

    function test_rulerFromMaxRange_data() {
        return [
            { tag: "60", range: 60, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 60] },
            { tag: "75 ends without a repeat", range: 75, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75] },
            { tag: "100", range: 100, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100] },
            { tag: "300", range: 300, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100, 150, 200, 250, 300] },
            { tag: "0.5", range: 0.5, ruler: [0.5] },
            { tag: "zero keeps the ruler", range: 0, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100] },
            { tag: "negative keeps the ruler", range: -5, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100] },
            { tag: "not a number keeps the ruler", range: NaN, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100] },
            { tag: "infinite keeps the ruler", range: Infinity, ruler: [1, 2, 3, 4, 5, 10, 20, 30, 40, 50, 75, 100] }
        ];
    }
    function test_rulerFromMaxRange(data) {
        var panel = make(c_distComponent);
        if (!isFinite(data.range) || data.range <= 0)
            ignoreWarning(new RegExp("^Dist: maximum range .* is not a range"));
        hub.maxRange = data.range;
        compare(rulerValues(panel), data.ruler);
        panel.m_maxDistRulerScale.forEach(function (entry, index) { compare(entry.m_index, index); });
    }

    function test_hugeMaxRangeGivesABoundedRuler() {
        var panel = make(c_distComponent);
        hub.maxRange = 3.0e38;
        var values = rulerValues(panel);
        verify(values.length <= 100, values.length);
        compare(values[values.length - 1], hub.maxRange);
        for (var i = 1; i < values.length; ++i)
            verify(values[i] > values[i - 1]);
    }

    function test_rulerShrinkClampsTheSelection() {
        hub.maxRange = 300;
        var panel = make(c_distComponent);
        hub.maxRange = 300.5;
        hub.maxDist = 300;
        compare(panel.maxValue, 15);
        hub.maxRange = 3;
        compare(rulerValues(panel), [1, 2, 3]);
        compare(panel.maxValue, 2);
        verify(!raise(panel).enabled);
        mouseClick(lower(panel));
        compare(standIns.commands, ["0x09接" + "0x00接0x00接0x00接0x40"]);
    }

    function test_rulerFollowsTheSonar_data() {
        return [
            { tag: "7 picks 5 over 10", dist: 7, index: 4 },
            { tag: "7.5 halfway picks the smaller", dist: 7.5, index: 4 },
            { tag: "8 picks 10", dist: 8, index: 5 },
            { tag: "beyond the ruler", dist: 500, index: 11 },
            { tag: "below the ruler", dist: 0.2, index: 0 }
        ];
    }
    function test_rulerFollowsTheSonar(data) {
        var panel = make(c_distComponent);
        hub.maxDist = data.dist;
        compare(panel.maxValue, data.index);
        compare(standIns.commands, [], "a header update sends nothing");
    }

    function test_rangeCommands() {
        var panel = make(c_distComponent);
        hub.maxDist = 5;
        mouseClick(raise(panel));
        compare(panel.maxValue, 5);
        compare(standIns.commands, ["0x09接0x00接0x00接0x20接0x41"]);
        hub.maxDist = 100;
        verify(!raise(panel).enabled);
        hub.maxDist = 1;
        verify(!lower(panel).enabled);
        compare(raise(panel).m_toolTip, "距离+");
        compare(standIns.commands.length, 1);
    }

    function test_stepCommands() {
        var panel = make(c_thetaComponent);
        compare(rulerValues(panel), [0.1, 0.2, 0.5, 1, 2, 5]);
        hub.vez25EDirectionAngle = 0.9;
        compare(panel.maxValue, 3);
        mouseClick(lower(panel));
        compare(standIns.commands, ["0x0F接0x00接0x00接0x00接0x3f"]);
        mouseClick(lower(panel));
        mouseClick(lower(panel));
        compare(standIns.commands[2], "0x0F接0xcd接0xcc接0xcc接0x3d");
        verify(!lower(panel).enabled);
        compare(panel.textToFloatToHex("10"), "0x00接0x00接0x20接0x41");
    }
}
