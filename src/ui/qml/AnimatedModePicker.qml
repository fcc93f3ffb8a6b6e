// The segmented control of the three modes. Tapping another mode writes it at once, without
// animation; tapping the current one does nothing.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: picker
    property string mode
    property var modes: Texts.modes
    property real inset: 3
    property real gap: 4
    signal modeChosen(string mode)

    implicitHeight: segments.implicitHeight + 2 * inset
    radius: height / 2
    color: Theme.wash
    border.width: 1
    border.color: Theme.overlaySoft

    Row {
        id: segments
        x: picker.inset
        y: picker.inset
        spacing: picker.gap
        readonly property real segmentWidth: (picker.width - 2 * picker.inset - (picker.modes.length - 1) * picker.gap)
                                             / picker.modes.length
        Repeater {
            model: picker.modes
            delegate: Rectangle {
                objectName: "segment_" + modelData
                readonly property bool selected: modelData === picker.mode
                width: segments.segmentWidth
                implicitHeight: label.implicitHeight + 16
                radius: height / 2
                color: selected ? Theme.ink : "transparent"
                Text {
                    id: label
                    anchors.centerIn: parent
                    text: Texts.modeLabel(modelData)
                    font.family: Theme.fontFamily
                    font.pixelSize: 11
                    font.weight: parent.selected ? Font.Bold : Font.Medium
                    color: parent.selected ? Theme.background : Theme.inkMuted
                }
                TapHandler { onTapped: if (modelData !== picker.mode) picker.modeChosen(modelData) }
            }
        }
    }
}
