// A slot's heading: a capitalised label and a hint on the same line.
import QtQuick
import Thwacko 1.0

Row {
    property string label
    property string hint
    spacing: 6
    Text {
        text: parent.label
        font.family: Theme.fontFamily
        font.pixelSize: 8
        font.weight: Font.Medium
        font.letterSpacing: 1.2
        color: Theme.inkFaint
    }
    Text {
        text: parent.hint
        font.family: Theme.fontFamily
        font.pixelSize: 8
        color: Theme.inkFaint
    }
}
