import QtQuick
import "../Theme"

// Kept as one of the front end's published components: no panel places it today.

// Busy spinner: seven coloured arcs spaced evenly round a circle, turning while running.
Item {
    id: c_root

    property bool running: true
    property int size: 100
    property real speed: 6
    property var colors: Theme.spinnerColors
    property real arcLength: 0.6 * Math.PI
    property real lineWidth: 8

    width: size
    height: size

    Canvas {
        id: c_canvas
        anchors.fill: parent

        onPaint: {
            var ctx = getContext("2d");
            ctx.reset();
            var cx = width / 2;
            var cy = height / 2;
            var radius = width / 2 - c_root.lineWidth;
            var count = c_root.colors.length;
            ctx.lineWidth = c_root.lineWidth;
            ctx.lineCap = "round";
            for (var i = 0; i < count; ++i) {
                var start = i * 2 * Math.PI / count;
                var end = start + c_root.arcLength;
                var gradient = ctx.createLinearGradient(cx + radius * Math.cos(start), cy + radius * Math.sin(start),
                                                        cx + radius * Math.cos(end), cy + radius * Math.sin(end));
                gradient.addColorStop(0, "transparent");
                gradient.addColorStop(0.2, c_root.colors[i]);
                gradient.addColorStop(1, "transparent");
                ctx.strokeStyle = gradient;
                ctx.beginPath();
                ctx.arc(cx, cy, radius, start, end, false);
                ctx.stroke();
            }
        }
    }

    Timer {
        interval: 16
        repeat: true
        running: c_root.running
        onTriggered: {
            c_canvas.rotation = (c_canvas.rotation + c_root.speed) % 360;
            c_canvas.requestPaint();
        }
    }
}
