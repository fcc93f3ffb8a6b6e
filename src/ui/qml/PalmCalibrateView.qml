// The palm calibration: a headline and instruction per stage, one dot per slap of the side
// being collected, an arrow towards that side, "Try again" after a rejected result, "Cancel"
// always, and a ripple for every slap. Showing the screen starts a fresh procedure; removing
// it stops listening.
import QtQuick
import Thwacko 1.0

Item {
    id: view
    objectName: "palmCalibrateView"
    implicitHeight: Math.max(380, column.implicitHeight)

    readonly property string stage: CalibrationScreen.stage
    readonly property int stageDuration: CalibrationScreen.easeIntoStage ? 300 : 250
    readonly property int stageEasing: CalibrationScreen.easeIntoStage ? Easing.InOutQuad : Easing.OutQuad

    Component.onCompleted: CalibrationScreen.begin()
    Component.onDestruction: CalibrationScreen.end()

    Column {
        id: column
        x: 32
        width: parent.width - 64

        Item { width: 1; height: 28 }
        Text {
            x: 32
            width: parent.width - 64
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: "Hold the laptop the way you usually play\n(lap, desk, angle \u2014 whatever feels right)."
            font.family: Theme.fontFamily
            font.pixelSize: 10
            lineHeightMode: Text.FixedHeight
            lineHeight: 16
            color: Theme.inkFaint
        }
        Item { width: 1; height: 30 }
        Text {
            objectName: "stageTitle"
            width: parent.width
            height: 36
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            text: CalibrationScreen.title
            font.family: Theme.fontFamily
            font.pixelSize: 28
            font.bold: true
            font.italic: true
            color: Theme.ink
        }
        Item { width: 1; height: 14 }
        Text {
            objectName: "instruction"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(260, parent.width)
            height: 38
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
            text: CalibrationScreen.instruction
            font.family: Theme.fontFamily
            font.pixelSize: 12
            color: Theme.inkMuted
        }
        Item { width: 1; height: 22 }
        Item {
            width: parent.width
            height: 18
            Row {
                anchors.centerIn: parent
                spacing: 10
                Repeater {
                    objectName: "dots"
                    model: CalibrationScreen.perSideTarget
                    delegate: Rectangle {
                        readonly property bool filled: index < CalibrationScreen.filledDots
                        objectName: "dot" + index
                        width: 11; height: 11
                        radius: 5.5
                        color: filled ? Theme.ink : "transparent"
                        border.width: 1.5
                        border.color: filled ? Theme.ink : Theme.hairline
                        Behavior on color { ColorAnimation { duration: 300; easing.type: Easing.OutQuad } }
                        // The glow: a soft halo in ink behind a filled dot.
                        Rectangle {
                            z: -1
                            anchors.centerIn: parent
                            width: 19; height: 19
                            radius: 9.5
                            color: Theme.ink
                            opacity: parent.filled ? 0.3 * 0.4 : 0
                            Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.OutQuad } }
                        }
                    }
                }
            }
        }
        Text {
            objectName: "directionGlyph"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            text: view.stage === "right" ? "\u25b6" : view.stage === "left" ? "\u25c0" : ""
            font.pixelSize: 30
            color: Theme.accent
            opacity: view.stage === "right" || view.stage === "left" ? 0.85 : 0
            Behavior on opacity { NumberAnimation { duration: view.stageDuration; easing.type: view.stageEasing } }
        }
        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 12
            Rectangle {
                objectName: "tryAgain"
                visible: view.stage === "badResult"
                anchors.horizontalCenter: parent.horizontalCenter
                width: tryText.implicitWidth + 44
                height: tryText.implicitHeight + 18
                radius: height / 2
                color: Theme.accent
                Text {
                    id: tryText
                    anchors.centerIn: parent
                    text: "Try again"
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    font.weight: Font.Medium
                    color: "white"
                }
                MouseArea { anchors.fill: parent; onClicked: CalibrationScreen.retry() }
            }
            Rectangle {
                objectName: "cancel"
                property bool cancelHover: cancelArea.containsMouse
                anchors.horizontalCenter: parent.horizontalCenter
                width: cancelText.implicitWidth + 24
                height: cancelText.implicitHeight + 12
                radius: 6
                color: cancelHover ? Theme.withOpacity(Theme.accent, 0.08) : "transparent"
                Text {
                    id: cancelText
                    anchors.centerIn: parent
                    text: "Cancel"
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    color: parent.cancelHover ? Theme.accent : Theme.inkFaint
                }
                MouseArea {
                    id: cancelArea
                    anchors.fill: parent
                    hoverEnabled: true
                    onClicked: CalibrationScreen.cancel()
                }
            }
        }
        Item { width: 1; height: 18 }
    }

    Item {
        anchors.fill: column
        enabled: false
        Repeater {
            model: CalibrationScreen.rippleIDs
            delegate: TapRipple {
                rippleId: modelData
                x: (column.width - width) / 2
                y: (column.height - height) / 2
            }
        }
    }
}
