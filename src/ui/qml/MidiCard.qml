// The MIDI output card: the switch, whether the virtual source is live, and a help line.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: card
    objectName: "midiCard"
    property bool midiEnabled: Midi.enabled
    implicitHeight: content.implicitHeight + 20
    radius: 9
    color: midiEnabled ? Theme.withOpacity(Theme.accent, 0.1) : Theme.wash
    border.width: 1
    border.color: midiEnabled ? Theme.withOpacity(Theme.accent, 0.35) : Theme.overlaySoft
    Behavior on color { ColorAnimation { duration: 200; easing.type: Easing.InOutQuad } }

    Column {
        id: content
        x: 12
        y: 10
        width: parent.width - 24
        spacing: 6

        Item {
            width: parent.width
            height: midiSwitch.height
            Row {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6
                Rectangle {
                    objectName: "midiDot"
                    anchors.verticalCenter: parent.verticalCenter
                    width: 6; height: 6; radius: 3
                    color: Midi.enabled && Midi.available ? Theme.accent : Theme.hairline
                }
                Text {
                    text: "MIDI OUT"
                    font.family: Theme.fontFamily
                    font.pixelSize: 8
                    font.weight: Font.Medium
                    font.letterSpacing: 1.2
                    color: Theme.inkMuted
                }
            }
            SmallSwitch {
                id: midiSwitch
                objectName: "midiSwitch"
                anchors.right: parent.right
                checked: Midi.enabled
                onToggled: (value) => { Midi.enabled = value }
            }
        }

        Text {
            id: help
            objectName: "midiHelp"
            width: parent.width
            wrapMode: Text.WordWrap
            lineHeight: 1.0
            text: Texts.midiHelp(Midi.enabled, Modes.mode)
            font.family: Theme.fontFamily
            font.pixelSize: 10
            color: Theme.inkMuted
            Behavior on text {
                SequentialAnimation {
                    NumberAnimation { target: help; property: "opacity"; to: 0; duration: 100 }
                    PropertyAction {}
                    NumberAnimation { target: help; property: "opacity"; to: 1; duration: 100 }
                }
            }
        }
    }
}
