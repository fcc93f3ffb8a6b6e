// The current mode's settings: its drum slots, its force slider and, for the left/right
// mode, the calibration controls (or, from a mono microphone, that sides need two channels).
import QtQuick
import Thwacko 1.0

Item {
    id: panel
    property string firingSound: Root.firingSound
    signal calibrate()

    implicitHeight: loader.item ? loader.item.implicitHeight : 0

    Loader {
        id: loader
        width: parent.width
        sourceComponent: Modes.mode === "split" ? splitPanel
                         : Modes.mode === "experimentalLR" ? leftRightPanel : velocityPanel
    }

    Component {
        id: forceCurve
        DualForceSlider {
            objectName: "forceCurve"
            floor: Detector.threshold
            ceiling: Modes.velocityCeiling
            sensor: Root.tapSensor
            onFloorMoved: (value) => { Detector.threshold = value }
            onCeilingMoved: (value) => { Modes.velocityCeiling = value }
        }
    }

    Component {
        id: velocityPanel
        Column {
            spacing: 10
            SlotHeading { label: "SOUND"; hint: "Harder taps = louder" }
            SoundPicker {
                objectName: "velocityPicker"
                width: parent.width
                selected: Modes.velocitySound
                isFiring: panel.firingSound !== "" && panel.firingSound === selected
                onChosen: (sound) => { Modes.velocitySound = sound }
                onPreview: Root.preview(Modes.velocitySound)
            }
            Loader { width: parent.width; sourceComponent: forceCurve }
        }
    }

    Component {
        id: splitPanel
        Column {
            spacing: 12
            SlotHeading { label: "SOFT"; hint: "Plays on soft taps" }
            SoundPicker {
                objectName: "softPicker"
                width: parent.width
                selected: Modes.softSound
                isFiring: panel.firingSound !== "" && panel.firingSound === selected
                onChosen: (sound) => { Modes.softSound = sound }
                onPreview: Root.preview(Modes.softSound)
            }
            SlotHeading { label: "HARD"; hint: "Plays on hard taps"; topPadding: 4 }
            SoundPicker {
                objectName: "hardPicker"
                width: parent.width
                selected: Modes.hardSound
                isFiring: panel.firingSound !== "" && panel.firingSound === selected
                onChosen: (sound) => { Modes.hardSound = sound }
                onPreview: Root.preview(Modes.hardSound)
            }
            ThresholdSlider {
                objectName: "splitThreshold"
                width: parent.width
                threshold: Modes.splitThreshold
                sensor: Root.tapSensor
                onMoved: (value) => { Modes.splitThreshold = value }
            }
        }
    }

    Component {
        id: leftRightPanel
        Column {
            spacing: 12
            SlotHeading { label: "LEFT"; hint: "Plays on left-hand taps" }
            SoundPicker {
                objectName: "leftPicker"
                width: parent.width
                selected: Modes.leftSound
                isFiring: panel.firingSound !== "" && panel.firingSound === selected
                onChosen: (sound) => { Modes.leftSound = sound }
                onPreview: Root.preview(Modes.leftSound)
            }
            SlotHeading { label: "RIGHT"; hint: "Plays on right-hand taps"; topPadding: 4 }
            SoundPicker {
                objectName: "rightPicker"
                width: parent.width
                selected: Modes.rightSound
                isFiring: panel.firingSound !== "" && panel.firingSound === selected
                onChosen: (sound) => { Modes.rightSound = sound }
                onPreview: Root.preview(Modes.rightSound)
            }
            Loader { width: parent.width; sourceComponent: forceCurve }
            Rectangle { width: parent.width; height: 1; color: Theme.overlaySoft }
            // One channel carries no side: every tap plays the left drum, and there is nothing to calibrate.
            Text {
                objectName: "stereoNeeded"
                visible: Root.monoMicrophone
                width: parent.width
                wrapMode: Text.WordWrap
                text: "L/R needs a stereo microphone"
                font.family: Theme.fontFamily
                font.pixelSize: 11
                font.weight: Font.Medium
                color: Theme.accent
            }
            Row {
                visible: !Root.monoMicrophone
                width: parent.width
                spacing: 6
                Rectangle {
                    objectName: "calibrateButton"
                    width: parent.width - (Calibration.calibrated ? 34 + 6 : 0)
                    height: calibrateRow.implicitHeight + 16
                    radius: 8
                    color: Theme.highlight
                    border.width: 1
                    border.color: Theme.overlayStrong
                    Row {
                        id: calibrateRow
                        anchors.centerIn: parent
                        spacing: 6
                        Text { text: "\u261d"; font.pixelSize: 10; color: Theme.ink }
                        Text {
                            objectName: "calibrateText"
                            text: Texts.calibrateButton(Calibration.calibrated)
                            font.family: Theme.fontFamily
                            font.pixelSize: 11
                            color: Theme.ink
                        }
                    }
                    TapHandler { onTapped: panel.calibrate() }
                }
                Rectangle {
                    objectName: "clearCalibration"
                    visible: Calibration.calibrated
                    width: 34; height: 34
                    radius: 8
                    color: Theme.highlight
                    border.width: 1
                    border.color: Theme.overlayStrong
                    Text { anchors.centerIn: parent; text: "\u21ba"; font.pixelSize: 10; color: Theme.inkMuted }
                    MouseArea { id: clearArea; anchors.fill: parent; hoverEnabled: true; onClicked: Calibration.clear() }
                    ToolTipText { shown: clearArea.containsMouse; text: "Clear calibration" }
                }
            }
            Item {
                visible: !Root.monoMicrophone
                width: parent.width
                height: Math.max(swapText.implicitHeight, swapSwitch.height)
                Column {
                    id: swapText
                    spacing: 1
                    width: parent.width - swapSwitch.width - 8
                    Text {
                        text: "Swap left / right"
                        font.family: Theme.fontFamily
                        font.pixelSize: 11
                        color: Theme.ink
                    }
                    Text {
                        objectName: "swapHint"
                        text: Texts.swapHint(Calibration.calibrated)
                        font.family: Theme.fontFamily
                        font.pixelSize: 10
                        color: Theme.inkFaint
                    }
                }
                SmallSwitch {
                    id: swapSwitch
                    objectName: "swapSwitch"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    checked: Root.invertPalmAxis
                    onToggled: (value) => { Root.invertPalmAxis = value }
                }
            }
            Text {
                visible: !Root.monoMicrophone
                width: parent.width
                wrapMode: Text.WordWrap
                text: "Position detection only works on soft surfaces \u2014 lap, bed, couch. On a rigid desk it falls apart. More feel than science."
                font.family: Theme.fontFamily
                font.pixelSize: 10
                color: Theme.inkFaint
            }
        }
    }
}
