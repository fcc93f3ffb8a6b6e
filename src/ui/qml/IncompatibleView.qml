// Shown instead of everything else once switching on found no accelerometer: what the program
// needs, which machines have it, the other tap sensor (the microphone, or the accelerometer
// again when the microphone failed), and a way out.
import QtQuick
import Thwacko 1.0

Item {
    id: view
    objectName: "incompatibleView"
    implicitHeight: Math.max(380, column.implicitHeight)

    readonly property var devices: [
        { name: "2-in-1 or laptop with IIO sensor", note: "IIO accelerometer", supported: true },
        { name: "HP laptop with drive protection", note: "lis3lv02d", supported: true },
        { name: "Older ThinkPad / Intel Mac", note: "hdaps / applesmc, slow", supported: true },
        { name: "Apple Silicon MacBook", note: "Not exposed under Linux", supported: false },
        { name: "Desktop PC / virtual machine", note: "No accelerometer", supported: false }
    ]

    Column {
        id: column
        width: parent.width
        anchors.verticalCenter: parent.verticalCenter

        // A laptop outline: lid and base.
        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 52; height: 40
            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: 40; height: 28
                radius: 3
                color: "transparent"
                border.width: 2.5
                border.color: Theme.inkFaint
            }
            Rectangle {
                y: 31
                width: parent.width; height: 4
                radius: 2
                color: Theme.inkFaint
            }
        }
        Item { width: 1; height: 20 }
        Text {
            objectName: "incompatibleTitle"
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Accelerometer Required"
            font.family: Theme.fontFamily
            font.pixelSize: 20
            font.weight: Font.Black
            color: Theme.ink
        }
        Item { width: 1; height: 8 }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(260, view.width)
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: "thwacko uses the built-in accelerometer to detect taps. This needs a laptop whose motion sensor Linux can read."
            font.family: Theme.fontFamily
            font.pixelSize: 12
            color: Theme.inkMuted
        }
        Item { width: 1; height: 24 }
        Rectangle {
            objectName: "deviceCard"
            x: 24
            width: view.width - 48
            height: rows.implicitHeight + 24
            radius: 10
            color: Theme.wash
            border.width: 1
            border.color: Theme.overlaySoft
            Column {
                id: rows
                x: 16; y: 12
                width: parent.width - 32
                Repeater {
                    model: view.devices
                    delegate: Column {
                        width: rows.width
                        Rectangle {
                            visible: index > 0
                            width: parent.width; height: 1
                            color: Theme.overlayFaint
                        }
                        Item {
                            width: parent.width
                            height: deviceName.implicitHeight + 12
                            Rectangle {
                                anchors.verticalCenter: parent.verticalCenter
                                width: 5; height: 5; radius: 2.5
                                color: modelData.supported ? Theme.accentBright : Theme.withOpacity(Theme.alert, 0.5)
                            }
                            Text {
                                id: deviceName
                                x: 13
                                anchors.verticalCenter: parent.verticalCenter
                                text: modelData.name
                                font.family: Theme.fontFamily
                                font.pixelSize: 10
                                color: Theme.ink
                            }
                            Text {
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.verticalCenter
                                text: modelData.note
                                font.family: Theme.fontFamily
                                font.pixelSize: 10
                                color: Theme.inkFaint
                            }
                        }
                    }
                }
            }
        }
        Item { width: 1; height: 24 }
        Rectangle {
            objectName: "useOtherSensor"
            anchors.horizontalCenter: parent.horizontalCenter
            width: micText.implicitWidth + 48
            height: micText.implicitHeight + 20
            radius: 6
            color: Theme.accent
            Text {
                id: micText
                anchors.centerIn: parent
                text: Root.offersMicrophone ? "Use the microphone instead" : "Use the accelerometer instead"
                font.family: Theme.fontFamily
                font.pixelSize: 11
                font.weight: Font.Medium
                color: "white"
            }
            MouseArea { anchors.fill: parent; onClicked: Root.useOtherTapSensor() }
        }
        Item { width: 1; height: 12 }
        Rectangle {
            objectName: "quit"
            anchors.horizontalCenter: parent.horizontalCenter
            width: quitText.implicitWidth + 48
            height: quitText.implicitHeight + 20
            radius: 6
            color: "transparent"
            border.width: 1
            border.color: Theme.overlayStrong
            Text {
                id: quitText
                anchors.centerIn: parent
                text: "Quit thwacko"
                font.family: Theme.fontFamily
                font.pixelSize: 11
                font.weight: Font.Medium
                color: Theme.inkMuted
            }
            MouseArea { anchors.fill: parent; onClicked: Qt.quit() }
        }
        Item { width: 1; height: 24 }
    }
}
