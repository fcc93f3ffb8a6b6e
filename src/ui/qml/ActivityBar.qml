// The strip at the bottom: "Activity", "paused" while not listening, the flash of the newest
// tap line, and the log below it while open.
import QtQuick
import Thwacko 1.0

Column {
    id: bar
    property bool isExpanded: false
    property bool isListening: false
    signal expandToggled()

    Rectangle {
        id: row
        objectName: "activityRow"
        width: bar.width
        height: rowContent.implicitHeight + 24
        color: Theme.wash

        Row {
            id: rowContent
            x: 24
            y: 12
            spacing: 8
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "\u203a"
                font.pixelSize: 12
                color: Theme.inkFaint
                rotation: bar.isExpanded ? 90 : 0
                Behavior on rotation { NumberAnimation { duration: 200; easing.type: Easing.OutQuad } }
            }
            Text {
                text: "Activity"
                font.family: Theme.fontFamily
                font.pixelSize: 10
                font.weight: Font.Medium
                color: Theme.inkMuted
            }
            Text {
                objectName: "paused"
                visible: !bar.isListening
                anchors.verticalCenter: parent.verticalCenter
                text: "paused"
                font.family: Theme.fontFamily
                font.pixelSize: 9
                color: Theme.inkFaint
            }
            Row {
                objectName: "flash"
                visible: bar.isListening && opacity > 0
                anchors.verticalCenter: parent.verticalCenter
                spacing: 5
                opacity: Activity.flashShown && Activity.flashMessage !== "" ? 1 : 0
                Behavior on opacity {
                    NumberAnimation {
                        duration: Activity.flashShown ? 150 : 500
                        easing.type: Activity.flashShown ? Easing.InQuad : Easing.OutQuad
                    }
                }
                Text { text: "\u2713"; font.pixelSize: 10; color: Theme.accentBright }
                Text {
                    objectName: "flashText"
                    text: Activity.flashMessage
                    font.family: Theme.fontFamily
                    font.pixelSize: 9
                    color: Theme.inkFaint
                }
            }
        }

        TapHandler { onTapped: bar.expandToggled() }
    }

    Loader {
        width: bar.width
        height: active && item ? item.implicitHeight : 0
        active: bar.isExpanded
        sourceComponent: ActivityLog { objectName: "activityLog"; entries: Activity.entries }
    }
}
