// The master volume: a track, an accent fill up to the value and a white thumb centred on the
// fill's end. A press anywhere starts a drag that sets the value under the pointer at once and
// on every move, without steps.
import QtQuick
import Thwacko 1.0

Item {
    id: slider
    property real value: 0
    readonly property real trackHeight: 4
    readonly property real thumbSize: 14
    signal moved(real value)

    implicitHeight: thumbSize
    height: thumbSize
    readonly property real fillWidth: Math.max(0, slider.value * width)

    Rectangle {
        objectName: "track"
        width: parent.width
        height: slider.trackHeight
        radius: height / 2
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.overlayStrong
    }
    Rectangle {
        objectName: "fill"
        width: slider.fillWidth
        height: slider.trackHeight
        radius: height / 2
        anchors.verticalCenter: parent.verticalCenter
        color: Theme.accent
    }
    Rectangle {
        x: slider.fillWidth - slider.thumbSize / 2
        y: 1
        width: slider.thumbSize
        height: slider.thumbSize
        radius: width / 2
        color: Theme.withOpacity(Theme.shadow, 0.6)
    }
    Rectangle {
        objectName: "thumb"
        x: slider.fillWidth - slider.thumbSize / 2
        width: slider.thumbSize
        height: slider.thumbSize
        radius: width / 2
        color: "white"
        border.color: Theme.accent
        border.width: 2
    }

    MouseArea {
        objectName: "dragArea"
        anchors.fill: parent
        preventStealing: true
        onPressed: (mouse) => slider.moved(Settings.volumeAt(mouse.x, slider.width))
        onPositionChanged: (mouse) => slider.moved(Settings.volumeAt(mouse.x, slider.width))
    }
}
