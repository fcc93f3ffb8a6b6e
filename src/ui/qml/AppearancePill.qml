// One choice of the settings card (an appearance or a tap sensor): an icon and its label on a
// rounded pill, accent-tinted when chosen.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: pill
    property string preference: "system"
    property bool isSelected: false
    property bool isHovering: pillArea.containsMouse
    signal clicked()

    readonly property var icons: ({ system: "\u25d0", light: "\u2600", dark: "\u263e",
                                    accelerometer: "\u2195", microphone: "\u223f" })
    readonly property var labels: ({ system: "System", light: "Light", dark: "Dark",
                                     accelerometer: "Accelerometer", microphone: "Microphone" })
    readonly property color tint: isSelected ? Theme.accent : Theme.inkMuted

    implicitHeight: label.implicitHeight + 14
    radius: 7
    color: isSelected ? Theme.withOpacity(Theme.accent, 0.10) : isHovering ? Theme.highlightStrong : Theme.highlight
    border.width: 1
    border.color: isSelected ? Theme.withOpacity(Theme.accent, 0.30) : Theme.overlayStrong

    Row {
        anchors.centerIn: parent
        spacing: 5
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: pill.icons[pill.preference]
            font.pixelSize: 10
            color: pill.tint
        }
        Text {
            id: label
            objectName: "pillLabel"
            anchors.verticalCenter: parent.verticalCenter
            text: pill.labels[pill.preference]
            font.family: Theme.fontFamily
            font.pixelSize: 11
            font.weight: pill.isSelected ? Font.DemiBold : Font.Normal
            color: pill.tint
        }
    }

    MouseArea {
        id: pillArea
        anchors.fill: parent
        hoverEnabled: true
        onClicked: pill.clicked()
    }
}
