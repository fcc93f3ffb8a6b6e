// A small switch tinted with the accent colour; its label is drawn by the owner.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: control
    property bool checked: false
    signal toggled(bool value)

    width: 32
    height: 18
    radius: height / 2
    color: checked ? Theme.accent : Theme.overlayStrong
    Behavior on color { ColorAnimation { duration: 150 } }

    Rectangle {
        width: parent.height - 4
        height: width
        radius: width / 2
        y: 2
        x: control.checked ? control.width - width - 2 : 2
        color: "white"
        border.width: 0.5
        border.color: Qt.rgba(0, 0, 0, 0.15)
        Behavior on x { NumberAnimation { duration: 150; easing.type: Easing.InOutQuad } }
    }

    TapHandler { onTapped: control.toggled(!control.checked) }
}
