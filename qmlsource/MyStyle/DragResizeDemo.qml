import QtQuick

// Resize handles around resizeTarget: four edges and four corners, mouseRegion pixels thick.
// A drag never makes the target narrower than minimumWidth or lower than minimumHeight, never
// moves its left or top edge to 0 or beyond, and keeps its right and bottom edges inside its
// parent; a step that would break one of these is ignored for that edge.
Item {
    id: c_root

    property int minimumWidth: 50
    property int minimumHeight: 50
    property int mouseRegion: 5
    property Item resizeTarget: c_root
    property bool onlyDragRightSide: false

    anchors.fill: resizeTarget === c_root ? undefined : resizeTarget

    function dragLeft(dx) {
        var newX = resizeTarget.x + dx;
        var newWidth = resizeTarget.width - dx;
        if (newX > 0 && newWidth > minimumWidth) {
            resizeTarget.x = newX;
            resizeTarget.width = newWidth;
        }
    }
    function dragTop(dy) {
        var newY = resizeTarget.y + dy;
        var newHeight = resizeTarget.height - dy;
        if (newY > 0 && newHeight > minimumHeight) {
            resizeTarget.y = newY;
            resizeTarget.height = newHeight;
        }
    }
    function dragRight(dx) {
        var newWidth = resizeTarget.width + dx;
        var limit = resizeTarget.parent ? resizeTarget.parent.width : Infinity;
        if (resizeTarget.x + newWidth <= limit && newWidth > minimumWidth)
            resizeTarget.width = newWidth;
    }
    function dragBottom(dy) {
        var newHeight = resizeTarget.height + dy;
        var limit = resizeTarget.parent ? resizeTarget.parent.height : Infinity;
        if (resizeTarget.y + newHeight <= limit && newHeight > minimumHeight)
            resizeTarget.height = newHeight;
    }

    // One handle: remembers where the press happened and reports every move as an offset.
    component Handle: MouseArea {
        id: c_handle
        property point m_pressPoint: Qt.point(0, 0)
        signal dragged(real dx, real dy)

        hoverEnabled: enabled
        onPressed: (mouse) => { c_handle.m_pressPoint = Qt.point(mouse.x, mouse.y); }
        onPositionChanged: (mouse) => {
            if (c_handle.pressed)
                c_handle.dragged(mouse.x - c_handle.m_pressPoint.x, mouse.y - c_handle.m_pressPoint.y);
        }
    }

    Handle {
        objectName: "leftHandle"
        enabled: !c_root.onlyDragRightSide
        x: 0; y: c_root.mouseRegion
        width: c_root.mouseRegion; height: c_root.height - 2 * c_root.mouseRegion
        cursorShape: Qt.SizeHorCursor
        onDragged: (dx, dy) => c_root.dragLeft(dx)
    }
    Handle {
        objectName: "rightHandle"
        x: c_root.width - c_root.mouseRegion; y: c_root.mouseRegion
        width: c_root.mouseRegion; height: c_root.height - 2 * c_root.mouseRegion
        cursorShape: Qt.SizeHorCursor
        onDragged: (dx, dy) => c_root.dragRight(dx)
    }
    Handle {
        objectName: "topHandle"
        enabled: !c_root.onlyDragRightSide
        x: c_root.mouseRegion; y: 0
        width: c_root.width - 2 * c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeVerCursor
        onDragged: (dx, dy) => c_root.dragTop(dy)
    }
    Handle {
        objectName: "bottomHandle"
        enabled: !c_root.onlyDragRightSide
        x: c_root.mouseRegion; y: c_root.height - c_root.mouseRegion
        width: c_root.width - 2 * c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeVerCursor
        onDragged: (dx, dy) => c_root.dragBottom(dy)
    }
    Handle {
        objectName: "topLeftHandle"
        enabled: !c_root.onlyDragRightSide
        x: 0; y: 0
        width: c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeFDiagCursor
        onDragged: (dx, dy) => { c_root.dragLeft(dx); c_root.dragTop(dy); }
    }
    Handle {
        objectName: "topRightHandle"
        enabled: !c_root.onlyDragRightSide
        x: c_root.width - c_root.mouseRegion; y: 0
        width: c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeBDiagCursor
        onDragged: (dx, dy) => { c_root.dragRight(dx); c_root.dragTop(dy); }
    }
    Handle {
        objectName: "bottomLeftHandle"
        enabled: !c_root.onlyDragRightSide
        x: 0; y: c_root.height - c_root.mouseRegion
        width: c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeBDiagCursor
        onDragged: (dx, dy) => { c_root.dragLeft(dx); c_root.dragBottom(dy); }
    }
    Handle {
        objectName: "bottomRightHandle"
        enabled: !c_root.onlyDragRightSide
        x: c_root.width - c_root.mouseRegion; y: c_root.height - c_root.mouseRegion
        width: c_root.mouseRegion; height: c_root.mouseRegion
        cursorShape: Qt.SizeFDiagCursor
        onDragged: (dx, dy) => { c_root.dragRight(dx); c_root.dragBottom(dy); }
    }
}
