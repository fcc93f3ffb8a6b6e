// The settings card: master volume (or the MIDI badge in place of its reading), the tap sensor
// and the three appearance pills, which save and apply at once, and the row leading to About.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: card
    objectName: "settingsView"
    // The choice as the card shows it; read from the store each time the card is built.
    property string appearance: Settings.storedAppearance()
    property bool aboutHover: aboutArea.containsMouse

    width: 300
    implicitHeight: content.implicitHeight + 40
    radius: 12
    // Opaque: the desktop offers no blur behind the card, and the screen below would show.
    color: Theme.background
    border.width: 0.5
    border.color: Theme.overlayStrong

    Column {
        id: content
        x: 20; y: 20
        width: parent.width - 40

        Column {
            width: parent.width
            spacing: 10
            Item {
                width: parent.width
                height: Math.max(volumeLabel.implicitHeight, midiBadge.visible ? midiBadge.height : percent.implicitHeight)
                Text {
                    id: volumeLabel
                    anchors.verticalCenter: parent.verticalCenter
                    text: "VOLUME"
                    font.family: Theme.fontFamily
                    font.pixelSize: 8
                    font.weight: Font.Medium
                    font.letterSpacing: 1.0
                    color: Theme.inkFaint
                }
                Rectangle {
                    id: midiBadge
                    objectName: "midiBadge"
                    visible: Midi.enabled
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    width: badgeText.implicitWidth + 12
                    height: badgeText.implicitHeight + 4
                    radius: 4
                    color: Theme.withOpacity(Theme.accent, 0.14)
                    Text {
                        id: badgeText
                        anchors.centerIn: parent
                        text: "muted \u00b7 MIDI on"
                        font.family: Theme.fontFamily
                        font.pixelSize: 9
                        font.weight: Font.Medium
                        color: Theme.accent
                    }
                }
                Text {
                    id: percent
                    objectName: "volumeText"
                    visible: !Midi.enabled
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: Settings.volumeText
                    font.family: Theme.fontFamily
                    font.pixelSize: 10
                    color: Theme.inkFaint
                }
            }
            VolumeSlider {
                objectName: "volumeSlider"
                width: parent.width
                value: Settings.volume
                onMoved: (value) => { Settings.volume = value }
            }
        }

        Item {
            width: parent.width
            height: 33
            Rectangle { y: 16; width: parent.width; height: 1; color: Theme.overlaySoft }
        }

        // Where taps come from; the current source is selected and a click moves listening over.
        Column {
            width: parent.width
            spacing: 10
            Text {
                text: "TAP SENSOR"
                font.family: Theme.fontFamily
                font.pixelSize: 8
                font.weight: Font.Medium
                font.letterSpacing: 1.0
                color: Theme.inkFaint
            }
            Row {
                id: sensorPills
                width: parent.width
                spacing: 6
                Repeater {
                    model: ["accelerometer", "microphone"]
                    delegate: AppearancePill {
                        objectName: "pill_" + modelData
                        width: (sensorPills.width - sensorPills.spacing) / 2
                        preference: modelData
                        isSelected: Root.tapSensor === modelData
                        onClicked: Root.chooseTapSensor(modelData)
                    }
                }
            }
        }

        Item {
            width: parent.width
            height: 33
            Rectangle { y: 16; width: parent.width; height: 1; color: Theme.overlaySoft }
        }

        Column {
            width: parent.width
            spacing: 10
            Text {
                text: "APPEARANCE"
                font.family: Theme.fontFamily
                font.pixelSize: 8
                font.weight: Font.Medium
                font.letterSpacing: 1.0
                color: Theme.inkFaint
            }
            Row {
                id: pills
                width: parent.width
                spacing: 6
                Repeater {
                    model: ["system", "light", "dark"]
                    delegate: AppearancePill {
                        objectName: "pill_" + modelData
                        width: (pills.width - 2 * pills.spacing) / 3
                        preference: modelData
                        isSelected: card.appearance === modelData
                        onClicked: {
                            card.appearance = modelData
                            Settings.chooseAppearance(modelData)
                        }
                    }
                }
            }
        }

        Item { width: 1; height: 16 }
        Item {
            objectName: "aboutRow"
            width: parent.width
            height: aboutText.implicitHeight
            Text {
                id: aboutText
                text: "About thwacko"
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: card.aboutHover ? Theme.accent : Theme.inkFaint
            }
            Text {
                objectName: "versionText"
                anchors.right: parent.right
                text: "v" + Settings.version
                font.family: Theme.fontFamily
                font.pixelSize: 10
                opacity: 0.6
                color: card.aboutHover ? Theme.accent : Theme.inkFaint
            }
            MouseArea {
                id: aboutArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: Root.about()
            }
        }
    }
}
