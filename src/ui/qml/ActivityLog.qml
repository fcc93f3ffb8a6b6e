// The log, newest first, in a scrolling list of at most 300 points.
import QtQuick
import QtQuick.Controls
import Thwacko 1.0

Rectangle {
    id: logView
    property var entries: []
    color: Theme.wash
    implicitHeight: Math.min(list.contentHeight, 300) + 12

    ListView {
        id: list
        objectName: "activityList"
        x: 24
        width: parent.width - 48
        height: Math.min(contentHeight, 300)
        clip: true
        model: logView.entries
        delegate: ActivityEntry { width: list.width; entry: modelData }
        ScrollBar.vertical: ScrollBar { policy: list.contentHeight > 300 ? ScrollBar.AlwaysOn : ScrollBar.AsNeeded }
    }
}
