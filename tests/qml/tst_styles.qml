import QtQuick
import QtTest
import "qrc:/qmlsource/MyStyle"

TestCase {
    id: c_test
    name: "Styles"
    width: 800
    height: 600
    visible: true
    when: windowShown

    Component { id: c_numberInput; MyTextInputStyle { height: 36; maximumLength: 20 } }
    Component { id: c_slider; MySliderStyle { width: 400; height: 40; to: 100 } }
    Component {
        id: c_resizeScene
        Item {
            property alias target: c_target
            width: 600
            height: 500
            Rectangle {
                id: c_target
                x: 100; y: 100; width: 200; height: 200
                DragResizeDemo { resizeTarget: c_target; mouseRegion: 10 }
            }
        }
    }
    Component { id: c_confirm; MyMessageDialogStyle {} }

    function test_numberInput_data() {
        return [
            { tag: "two points", text: "1.2.3", accepted: false },
            { tag: "negative", text: "-1", accepted: false },
            { tag: "ten decimals", text: "12.0123456789", accepted: true },
            { tag: "eleven decimals", text: "1.01234567890", accepted: false },
            { tag: "whole", text: "42", accepted: true },
            { tag: "trailing point", text: "42.", accepted: true }
        ];
    }
    function test_numberInput(data) {
        var field = createTemporaryObject(c_numberInput, c_test);
        field.forceActiveFocus();
        field.selectAll();
        for (var i = 0; i < data.text.length; ++i)
            keyClick(data.text[i]);
        compare(field.text === data.text, data.accepted, field.text);
    }

    function test_inputGivesUpFocusWhenShown() {
        var field = createTemporaryObject(c_numberInput, c_test);
        field.forceActiveFocus();
        field.visible = false;
        field.visible = true;
        verify(!field.activeFocus);
    }

    function test_sliderChangesOnRelease() {
        var slider = createTemporaryObject(c_slider, c_test);
        var handle = slider.handle;
        mousePress(handle, handle.width / 2, handle.height / 2);
        mouseMove(slider, slider.width * 0.75, slider.height / 2);
        compare(slider.value, 0, "not while dragging");
        mouseRelease(slider, slider.width * 0.75, slider.height / 2);
        verify(slider.value > 60 && slider.value < 90, slider.value);
        compare(slider.value, Math.round(slider.value), "snaps to whole steps");
    }

    // Drag one handle by (dx, dy); the geometry after it.
    function test_resize_data() {
        return [
            { tag: "right edge wider", handle: "rightHandle", dx: 50, dy: 0, geometry: [100, 100, 250, 200] },
            { tag: "right edge out of the parent", handle: "rightHandle", dx: 400, dy: 0, geometry: [100, 100, 200, 200] },
            { tag: "right edge below minimum", handle: "rightHandle", dx: -160, dy: 0, geometry: [100, 100, 200, 200] },
            { tag: "left edge", handle: "leftHandle", dx: -40, dy: 0, geometry: [60, 100, 240, 200] },
            { tag: "left edge beyond 0", handle: "leftHandle", dx: -120, dy: 0, geometry: [100, 100, 200, 200] },
            { tag: "top edge", handle: "topHandle", dx: 0, dy: 30, geometry: [100, 130, 200, 170] },
            { tag: "bottom edge out of the parent", handle: "bottomHandle", dx: 0, dy: 300, geometry: [100, 100, 200, 200] },
            { tag: "corner keeps the valid edge", handle: "bottomRightHandle", dx: 50, dy: 300, geometry: [100, 100, 250, 200] }
        ];
    }
    function test_resize(data) {
        var scene = createTemporaryObject(c_resizeScene, c_test);
        var handle = findChild(scene, data.handle);
        verify(handle, data.handle);
        var cx = handle.width / 2;
        var cy = handle.height / 2;
        mousePress(handle, cx, cy);
        mouseMove(handle, cx + data.dx, cy + data.dy);
        mouseRelease(handle, cx + data.dx, cy + data.dy);
        var t = scene.target;
        compare([t.x, t.y, t.width, t.height], data.geometry);
    }

    function test_confirmationDialogButtons() {
        var dialog = createTemporaryObject(c_confirm, c_test);
        verify(dialog.buttons !== 0, "Yes and No reach the dialog");
        compare(dialog.title, "确认校准");
        var ran = false;
        dialog.m_function = function () { ran = true; };
        dialog.accepted();
        verify(ran);
    }
}
