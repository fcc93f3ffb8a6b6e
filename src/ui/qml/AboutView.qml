// About: the product and its version, a newer release when the update check found one, a few
// facts about this machine and program, the tap total, and the way back. Every showing starts
// an update check; the update row appears by itself once the check finds a newer version.
import QtQuick
import Thwacko 1.0

Item {
    id: view
    objectName: "aboutView"
    implicitHeight: column.implicitHeight + 24

    Component.onCompleted: About.appear()

    Column {
        id: column
        x: 32
        width: parent.width - 64

        Item { width: 1; height: 36 }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "thwacko"
            font.family: Theme.fontFamily
            font.pixelSize: 25
            font.weight: Font.Black
            font.letterSpacing: -0.5
            color: Theme.ink
        }
        Item { width: 1; height: 6 }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Version " + About.version
            font.family: Theme.fontFamily
            font.pixelSize: 10
            color: Theme.inkFaint
        }
        Item {
            objectName: "versionSpacing"
            width: 1
            height: About.hasUpdate ? 10 : 16
        }
        Item {
            objectName: "updateRow"
            visible: About.hasUpdate
            anchors.horizontalCenter: parent.horizontalCenter
            width: updateLabel.width
            height: visible ? updateLabel.height : 0
            Row {
                id: updateLabel
                spacing: 4
                Rectangle {
                    anchors.verticalCenter: parent.verticalCenter
                    width: 5; height: 5; radius: 2.5
                    color: Theme.accent
                }
                Text {
                    objectName: "updateText"
                    anchors.verticalCenter: parent.verticalCenter
                    text: "Update available \u00b7 v" + About.latestVersion
                    font.family: Theme.fontFamily
                    font.pixelSize: 10
                    font.weight: Font.Medium
                    color: Theme.accent
                }
                Text {
                    // North-east arrow: the link leaves the program.
                    anchors.verticalCenter: parent.verticalCenter
                    text: "\u2197"
                    font.family: Theme.fontFamily
                    font.pixelSize: 8
                    font.weight: Font.DemiBold
                    color: Theme.accent
                }
            }
            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: About.openUpdate()
            }
        }
        Item { width: 1; height: About.hasUpdate ? 14 : 0 }

        Rectangle {
            objectName: "factsCard"
            width: parent.width
            height: facts.implicitHeight + 24
            radius: 10
            color: Theme.wash
            border.width: 1
            border.color: Theme.overlaySoft
            Column {
                id: facts
                x: 16; y: 12
                width: parent.width - 32
                Repeater {
                    model: About.facts
                    delegate: Column {
                        width: facts.width
                        Rectangle {
                            visible: index > 0
                            width: parent.width; height: 1
                            color: Theme.overlayFaint
                        }
                        Item {
                            objectName: "fact_" + modelData.label
                            property string value: modelData.value
                            width: parent.width
                            height: factLabel.implicitHeight + 12
                            Text {
                                id: factLabel
                                anchors.verticalCenter: parent.verticalCenter
                                text: modelData.label
                                font.family: Theme.fontFamily
                                font.pixelSize: 10
                                color: Theme.inkMuted
                            }
                            Text {
                                anchors.right: parent.right
                                anchors.verticalCenter: parent.verticalCenter
                                text: modelData.value
                                font.family: Theme.fontFamily
                                font.pixelSize: 10
                                color: Theme.inkFaint
                            }
                        }
                    }
                }
            }
        }
        Item { width: 1; height: 20 }
        Rectangle {
            objectName: "done"
            width: parent.width
            height: 36
            radius: 10
            color: Theme.accent
            Text {
                anchors.centerIn: parent
                text: "Done"
                font.family: Theme.fontFamily
                font.pixelSize: 11
                font.weight: Font.Medium
                color: "white"
            }
            MouseArea { anchors.fill: parent; onClicked: Root.back() }
        }
    }
}
