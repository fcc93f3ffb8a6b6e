// The force-curve range slider: the lower thumb is the tap threshold, the upper the force of
// full velocity. Each thumb stops minGap short of the other and never pushes it.
import QtQuick
import Thwacko 1.0

Column {
    id: slider
    property real floor: 0.015
    property real ceiling: 0.09
    property real minGap: 0.005
    property real minG: 0.001
    property real maxG: 0.15
    property real trackHeight: 4
    property real thumbSize: 16
    // The tap sensor's raw name: its units label the values ("microphone": dB of full scale).
    property string sensor: "accelerometer"
    signal floorMoved(real value)
    signal ceilingMoved(real value)

    spacing: 4

    readonly property real floorX: Texts.sliderPosition(floor, minG, maxG, track.width)
    readonly property real ceilingX: Texts.sliderPosition(ceiling, minG, maxG, track.width)

    Item {
        width: parent.width
        height: rangeText.implicitHeight
        Text {
            text: "FORCE CURVE"
            font.family: Theme.fontFamily
            font.pixelSize: 8
            font.weight: Font.Medium
            font.letterSpacing: 1.2
            color: Theme.inkMuted
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: rangeText
            objectName: "range"
            anchors.right: parent.right
            text: Texts.forceRange(slider.floor, slider.ceiling, slider.sensor)
            font.family: Theme.fontFamily
            font.pixelSize: 10
            font.weight: Font.Medium
            color: Theme.ink
        }
    }

    Item {
        id: track
        objectName: "track"
        width: parent.width
        height: slider.thumbSize
        Rectangle {
            width: parent.width
            height: slider.trackHeight
            radius: height / 2
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.overlayStrong
        }
        Rectangle {
            x: slider.floorX
            width: Math.max(0, slider.ceilingX - slider.floorX)
            height: slider.trackHeight
            radius: height / 2
            anchors.verticalCenter: parent.verticalCenter
            color: Theme.accent
        }
        Rectangle {
            objectName: "floorThumb"
            width: slider.thumbSize; height: width; radius: width / 2
            x: slider.floorX - width / 2
            color: "white"; border.width: 2; border.color: Theme.accent
        }
        Rectangle {
            objectName: "ceilingThumb"
            width: slider.thumbSize; height: width; radius: width / 2
            x: slider.ceilingX - width / 2
            color: "white"; border.width: 2; border.color: Theme.accent
        }
        // A press takes the nearer thumb and drags it until release.
        MouseArea {
            property bool draggingFloor: true
            anchors.fill: parent
            preventStealing: true
            function drag(x) {
                if (draggingFloor)
                    slider.floorMoved(Texts.floorAt(x, track.width, slider.minG, slider.maxG, slider.ceiling, slider.minGap))
                else
                    slider.ceilingMoved(Texts.ceilingAt(x, track.width, slider.minG, slider.maxG, slider.floor, slider.minGap))
            }
            onPressed: (mouse) => {
                draggingFloor = Math.abs(mouse.x - slider.floorX) <= Math.abs(mouse.x - slider.ceilingX)
                                && !(mouse.x > slider.ceilingX && slider.floorX === slider.ceilingX)
                drag(mouse.x)
            }
            onPositionChanged: (mouse) => drag(mouse.x)
        }
    }

    Item {
        width: parent.width
        height: ignoreText.implicitHeight
        Text {
            id: ignoreText
            objectName: "ignore"
            text: "ignore (" + Texts.force(slider.floor, slider.sensor) + ")"
            font.family: Theme.fontFamily; font.pixelSize: 9; color: Theme.inkFaint
        }
        Text {
            objectName: "max"
            anchors.right: parent.right
            text: "max (" + Texts.force(slider.ceiling, slider.sensor) + ")"
            font.family: Theme.fontFamily; font.pixelSize: 9; color: Theme.inkFaint
        }
    }
}
