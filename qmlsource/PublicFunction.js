.pragma library

// Number formatting and small encoders shared by the panels (imported as MyFun).

// The number with inSaveBits decimals, without trailing zeros and without a bare point:
// 12.5 -> "12.5", 3 -> "3", 2.456 -> "2.46".
function f_fixed(inNum, inSaveBits) {
    var text = Number(inNum).toFixed(inSaveBits);
    if (text.indexOf(".") < 0)
        return text;
    text = text.replace(/0+$/, "");
    return text.replace(/\.$/, "");
}

// Display width of a text: 1 per character up to U+00FF, 2 for any other.
function f_bytesCount(str) {
    var count = 0;
    for (var i = 0; i < str.length; ++i)
        count += str.charCodeAt(i) <= 0xff ? 1 : 2;
    return count;
}

// A dotted IPv4 address of four decimal octets, each 0..255. An octet above 255 would make a
// directed search or a fixed address into something else entirely (999.1.1.1 is not a host).
function f_isIpv4Address(text) {
    var match = /^([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})\.([0-9]{1,3})$/.exec(String(text));
    if (!match)
        return false;
    for (var i = 1; i <= 4; ++i) {
        if (parseInt(match[i], 10) > 255)
            return false;
    }
    return true;
}

function byteToken(byte) {
    return "0x" + (byte < 16 ? "0" : "") + byte.toString(16);
}

// A number as the command texts carry it: a 32-bit IEEE float, least significant byte first,
// each byte as "0x" and two lower-case hexadecimal digits, joined by "接". A value that is not a
// finite single-precision number gives the empty text: such a value must never reach the sonar.
function numberToFloatToHex(value) {
    var single = Math.fround(Number(value));
    if (!isFinite(single))
        return "";
    var view = new DataView(new ArrayBuffer(4));
    view.setFloat32(0, single, true);
    var tokens = [];
    for (var i = 0; i < 4; ++i)
        tokens.push(byteToken(view.getUint8(i)));
    return tokens.join("接");
}

// The text read as the script engine reads a float (parseFloat), then encoded as above; empty
// or unparsable text gives the empty text.
function textToFloatToHex(text) {
    return numberToFloatToHex(parseFloat(text));
}

// The range labels across the sector image: for a grid the ranges at every quarter of
// maxDistance on both sides of the centre, else only -maxDistance, 0 and +maxDistance. Each
// label is { text, x } with x the offset from the centre in pixels for an image radius of
// radius; the two outermost labels move 20 pixels inwards. A range that is not a finite
// positive number gives no labels. The loop runs over a whole-number index, so no range can
// make it endless.
function f_rangeLabels(maxDistance, gridVisible, radius) {
    if (!(isFinite(maxDistance) && maxDistance > 0) || !(isFinite(radius) && radius > 0))
        return [];
    var steps = gridVisible ? 4 : 1;
    var labels = [];
    for (var i = -steps; i <= steps; ++i) {
        var x = radius * i / steps;
        if (i === -steps)
            x += 20;
        else if (i === steps)
            x -= 20;
        labels.push({ text: Math.abs(maxDistance * i / steps).toFixed(1) + "m", x: x });
    }
    return labels;
}
