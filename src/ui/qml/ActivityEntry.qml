// One line of the activity list: its kind's tile, the message, its age and maybe a badge.
import QtQuick
import Thwacko 1.0

Item {
    id: row
    property var entry
    implicitHeight: Math.max(tile.height, texts.implicitHeight) + 16

    Rectangle {
        id: tile
        y: 8
        width: 18; height: 18
        radius: 5
        color: Theme.withOpacity(row.entry.color, 0.1)
        Text {
            anchors.centerIn: parent
            text: row.entry.glyph
            font.pixelSize: 8
            color: row.entry.color
        }
    }

    Column {
        id: texts
        x: tile.width + 10
        y: 8
        width: row.width - x - (badge.visible ? badge.width + 10 : 0)
        Text {
            objectName: "message"
            width: parent.width
            text: row.entry.message
            maximumLineCount: 2
            wrapMode: Text.Wrap
            elide: Text.ElideRight
            font.family: Theme.fontFamily
            font.pixelSize: 10
            color: Theme.ink
        }
        Text {
            objectName: "age"
            text: Activity.age(row.entry.timestamp)
            font.family: Theme.fontFamily
            font.pixelSize: 8
            color: Theme.inkFaint
        }
    }

    Rectangle {
        id: badge
        visible: row.entry.badgeText !== ""
        x: row.width - width
        y: 8
        width: badgeText.implicitWidth + 12
        height: badgeText.implicitHeight + 4
        radius: 4
        color: row.entry.badgeBackground
        Text {
            id: badgeText
            anchors.centerIn: parent
            text: row.entry.badgeText
            font.family: Theme.fontFamily
            font.pixelSize: 8
            font.weight: Font.Medium
            color: row.entry.badgeColor
        }
    }

    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Theme.wash
    }
}
