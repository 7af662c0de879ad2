import QtQuick
import QtQuick.Controls
import "../Theme"

// Edit field of the settings rows. "number" accepts digits with an optional fraction of up to
// ten decimals; "ip" keeps only digits and points, at most three points.
TextField {
    id: c_root

    property string inputMode: "number"
    property var numberValidator: RegularExpressionValidator {
        regularExpression: /^\d+(\.\d{0,10})?$/
    }

    height: parent ? parent.height : implicitHeight
    width: height * 0.7 * (maximumLength + 2) * 0.5
    text: "0.0"
    color: Theme.inputText
    font.pixelSize: Theme.fontSizeNormal
    horizontalAlignment: TextInput.AlignHCenter
    verticalAlignment: TextInput.AlignVCenter
    padding: 0
    validator: inputMode === "number" ? numberValidator : null

    onTextChanged: {
        if (inputMode !== "ip")
            return;
        var cleaned = text.replace(/[^0-9.]/g, "");
        if ((cleaned.match(/\./g) || []).length > 3)
            cleaned = cleaned.slice(0, -1);
        if (cleaned !== text)
            text = cleaned;
    }

    // A reopened panel shows the values it is bound to, not a stale edit.
    onVisibleChanged: {
        if (visible)
            focus = false;
    }
}
