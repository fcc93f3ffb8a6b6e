// The one-thumb force slider: a press or drag anywhere on the track sets the value in whole
// milli-g within minG ... maxG (shown in dB when the microphone is the source).
import QtQuick
import Thwacko 1.0

Column {
    id: slider
    property real threshold: 0.035
    property real minG: 0.01
    property real maxG: 0.08
    property real trackHeight: 4
    property real thumbSize: 16
    // The tap sensor's raw name: its units label the values ("microphone": dB of full scale).
    property string sensor: "accelerometer"
    signal moved(real value)

    spacing: 4

    Item {
        width: parent.width
        height: valueText.implicitHeight
        Text {
            text: "THRESHOLD"
            font.family: Theme.fontFamily
            font.pixelSize: 8
            font.weight: Font.Medium
            font.letterSpacing: 1.2
            color: Theme.inkMuted
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: valueText
            objectName: "value"
            anchors.right: parent.right
            text: Texts.force(slider.threshold, slider.sensor)
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
            objectName: "thumb"
            width: slider.thumbSize
            height: slider.thumbSize
            radius: width / 2
            x: Texts.sliderPosition(slider.threshold, slider.minG, slider.maxG, track.width) - width / 2
            color: "white"
            border.width: 2
            border.color: Theme.accent
        }
        MouseArea {
            anchors.fill: parent
            preventStealing: true
            onPressed: (mouse) => slider.moved(Texts.thresholdAt(mouse.x, track.width, slider.minG, slider.maxG))
            onPositionChanged: (mouse) => slider.moved(Texts.thresholdAt(mouse.x, track.width, slider.minG, slider.maxG))
        }
    }

    Item {
        width: parent.width
        height: soft.implicitHeight
        Text { id: soft; text: "soft"; font.family: Theme.fontFamily; font.pixelSize: 9; color: Theme.inkFaint }
        Text { anchors.right: parent.right; text: "hard"; font.family: Theme.fontFamily; font.pixelSize: 9; color: Theme.inkFaint }
    }
}
