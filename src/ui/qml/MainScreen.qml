// The panel's everyday screen: header, mode picker, MIDI card, the mode's settings and the
// activity bar, with the tap ripples over everything.
import QtQuick
import Thwacko 1.0

Item {
    id: screen
    objectName: "mainScreen"
    property bool activityExpanded: false
    implicitHeight: column.implicitHeight

    Column {
        id: column
        width: parent.width

        AppHeader {
            objectName: "header"
            width: parent.width
            isEnabled: Root.enabled
            onToggled: (value) => Root.toggle(value)
            onSettingsTapped: Root.settingsTap()
        }

        Item {
            width: parent.width
            height: 9
            Rectangle { x: 24; y: 4; width: parent.width - 48; height: 1; color: Theme.overlaySoft }
        }

        Column {
            x: 24
            width: parent.width - 48
            topPadding: 12
            spacing: 8
            AnimatedModePicker {
                objectName: "modePicker"
                width: parent.width
                mode: Modes.mode
                onModeChosen: (mode) => { Modes.mode = mode }
            }
            Text {
                objectName: "modeDescription"
                width: parent.width
                textFormat: Text.StyledText
                text: {
                    const line = Texts.modeDescription(Modes.mode)
                    return line.replace("experimental", "<font color=\"" + Theme.accent + "\"><b>experimental</b></font>")
                }
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: Theme.inkMuted
            }
        }

        Item {
            width: parent.width
            height: midiCard.implicitHeight + 12
            MidiCard { id: midiCard; x: 24; y: 12; width: parent.width - 48 }
        }

        Item {
            width: parent.width
            height: modePanel.implicitHeight + 28
            ModePanel {
                id: modePanel
                objectName: "modePanel"
                x: 24; y: 14
                width: parent.width - 48
                onCalibrate: Root.calibratePalms()
            }
        }

        ActivityBar {
            objectName: "activityBar"
            width: parent.width
            isExpanded: screen.activityExpanded
            isListening: Detector.listening
            onExpandToggled: screen.activityExpanded = !screen.activityExpanded
        }
    }

    TapRippleOverlay {
        anchors.fill: parent
        rippleIDs: Root.tapPulses
    }
}
