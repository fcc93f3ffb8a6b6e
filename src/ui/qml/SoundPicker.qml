// Chooses the drum of one slot: a tile that previews it, its name and MIDI note, and a
// "Change" menu of the nine sounds. A choice is written, then previewed.
import QtQuick
import QtQuick.Controls
import Thwacko 1.0

Item {
    id: picker
    property string selected: "kick"
    property bool isFiring: false
    signal chosen(string sound)
    signal preview()

    implicitHeight: 36 + 12

    Row {
        y: 6
        width: parent.width
        spacing: 12

        Rectangle {
            id: tile
            objectName: "tile"
            width: 36; height: 36
            radius: 8
            color: picker.isFiring ? Theme.withOpacity(Theme.accent, 0.18) : Theme.wash
            border.width: 1
            border.color: picker.isFiring ? Theme.withOpacity(Theme.accent, 0.55) : Theme.overlaySoft
            scale: picker.isFiring ? 1.06 : 1.0
            Behavior on scale { SpringAnimation { spring: 6; damping: 0.3; epsilon: 0.001 } }
            Text {
                anchors.centerIn: parent
                text: Texts.shortLabel(picker.selected)
                font.family: Theme.fontFamily
                font.pixelSize: 16
                font.weight: Font.Black
                color: picker.isFiring ? Theme.accent : Theme.ink
            }
            TapHandler { onTapped: picker.preview() }
        }

        Column {
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2
            width: parent.width - tile.width - change.width - 24
            Text {
                objectName: "soundName"
                text: Texts.displayName(picker.selected)
                font.family: Theme.fontFamily
                font.pixelSize: 13
                font.weight: Font.Medium
                color: Theme.ink
            }
            Text {
                objectName: "midiLine"
                text: Texts.midiLine(picker.selected)
                font.family: Theme.fontFamily
                font.pixelSize: 9
                color: Theme.inkFaint
            }
        }

        Rectangle {
            id: change
            objectName: "change"
            anchors.verticalCenter: parent.verticalCenter
            width: changeRow.implicitWidth + 20
            height: changeRow.implicitHeight + 12
            radius: 6
            color: changeArea.containsMouse ? Theme.highlightStrong : Theme.wash
            border.width: 1
            border.color: Theme.overlaySoft
            Row {
                id: changeRow
                anchors.centerIn: parent
                spacing: 4
                Text {
                    text: "Change"
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: Theme.inkMuted
                }
                Text {
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u25be"
                    font.pixelSize: 8
                    font.weight: Font.DemiBold
                    color: Theme.inkMuted
                }
            }
            MouseArea {
                id: changeArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: menu.popup(change, 0, change.height)
            }
        }
    }

    Menu {
        id: menu
        objectName: "soundMenu"
        Repeater {
            model: Texts.sounds
            delegate: MenuItem {
                objectName: "sound_" + modelData
                text: Texts.displayName(modelData) + (modelData === picker.selected ? "  \u2713" : "")
                onTriggered: {
                    picker.chosen(modelData)
                    picker.preview()
                }
            }
        }
    }
}
