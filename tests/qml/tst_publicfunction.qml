import QtQuick
import QtTest
import "qrc:/qmlsource/PublicFunction.js" as MyFun

TestCase {
    name: "PublicFunction"

    function test_fixed_data() {
        return [
            { tag: "fraction kept", value: 12.5, bits: 2, text: "12.5" },
            { tag: "whole number", value: 3, bits: 2, text: "3" },
            { tag: "rounded", value: 2.456, bits: 2, text: "2.46" },
            { tag: "zeros before the point stay", value: 100, bits: 2, text: "100" },
            { tag: "no decimals", value: 7.6, bits: 0, text: "8" },
            { tag: "rounds to whole", value: 1.999, bits: 2, text: "2" },
            { tag: "four decimals", value: 0.00012, bits: 4, text: "0.0001" }
        ];
    }
    function test_fixed(data) {
        compare(MyFun.f_fixed(data.value, data.bits), data.text);
    }

    function test_bytesCount() {
        compare(MyFun.f_bytesCount("abc"), 3);
        compare(MyFun.f_bytesCount("ÿ"), 1);
        compare(MyFun.f_bytesCount("声呐a"), 5);
    }

    function test_floatToHex_data() {
        return [
            { tag: "10 m", text: "10", hex: "0x00接0x00接0x20接0x41" },
            { tag: "12.5", text: "12.5", hex: "0x00接0x00接0x48接0x41" },
            { tag: "1500 m/s", text: "1500", hex: "0x00接0x80接0xbb接0x44" },
            { tag: "0.1 rounds to single precision", text: "0.1", hex: "0xcd接0xcc接0xcc接0x3d" },
            { tag: "zero", text: "0", hex: "0x00接0x00接0x00接0x00" },
            { tag: "trailing text is ignored like parseFloat", text: "2.5m", hex: "0x00接0x00接0x20接0x40" },
            { tag: "empty sends nothing", text: "", hex: "" },
            { tag: "not a number sends nothing", text: "abc", hex: "" },
            { tag: "too large for a float", text: "1e39", hex: "" }
        ];
    }
    function test_floatToHex(data) {
        compare(MyFun.textToFloatToHex(data.text), data.hex);
    }

    function test_numberToFloatToHex() {
        compare(MyFun.numberToFloatToHex(200000), "0x00接0x50接0x43接0x48");
        compare(MyFun.numberToFloatToHex(NaN), "");
        compare(MyFun.numberToFloatToHex(Infinity), "");
    }

    function test_ipv4_data() {
        return [
            { tag: "valid", text: "192.168.1.100", ok: true },
            { tag: "all zero", text: "0.0.0.0", ok: true },
            { tag: "upper bound", text: "255.255.255.255", ok: true },
            { tag: "three parts", text: "192.168.1", ok: false },
            { tag: "octet above 255", text: "999.1.1.1", ok: false },
            { tag: "last octet 256", text: "10.0.0.256", ok: false },
            { tag: "four digits", text: "1000.1.1.1", ok: false },
            { tag: "trailing point", text: "1.2.3.4.", ok: false },
            { tag: "letters", text: "a.b.c.d", ok: false },
            { tag: "empty", text: "", ok: false }
        ];
    }
    function test_ipv4(data) {
        compare(MyFun.f_isIpv4Address(data.text), data.ok);
    }

    function test_rangeLabels_data() {
        return [
            { tag: "grid", range: 8, grid: true, radius: 200,
              texts: ["8.0m", "6.0m", "4.0m", "2.0m", "0.0m", "2.0m", "4.0m", "6.0m", "8.0m"],
              xs: [-180, -150, -100, -50, 0, 50, 100, 150, 180] },
            { tag: "no grid", range: 12.5, grid: false, radius: 290.75,
              texts: ["12.5m", "0.0m", "12.5m"], xs: [-270.75, 0, 270.75] },
            { tag: "zero range", range: 0, grid: true, radius: 200, texts: [], xs: [] },
            { tag: "negative range", range: -3, grid: true, radius: 200, texts: [], xs: [] },
            { tag: "not a number", range: NaN, grid: true, radius: 200, texts: [], xs: [] },
            { tag: "infinite", range: Infinity, grid: false, radius: 200, texts: [], xs: [] },
            { tag: "no image yet", range: 8, grid: true, radius: 0, texts: [], xs: [] }
        ];
    }
    function test_rangeLabels(data) {
        var labels = MyFun.f_rangeLabels(data.range, data.grid, data.radius);
        compare(labels.map(function (l) { return l.text; }), data.texts);
        compare(labels.map(function (l) { return l.x; }), data.xs);
    }
}
