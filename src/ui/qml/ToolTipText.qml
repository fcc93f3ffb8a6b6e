// A small tooltip above its parent while shown.
import QtQuick
import Thwacko 1.0

Rectangle {
    property bool shown: false
    property alias text: label.text
    visible: shown
    z: 10
    width: label.implicitWidth + 12
    height: label.implicitHeight + 6
    radius: 4
    anchors.bottom: parent.top
    anchors.bottomMargin: 4
    anchors.horizontalCenter: parent.horizontalCenter
    color: Theme.ink
    Text {
        id: label
        anchors.centerIn: parent
        font.family: Theme.fontFamily
        font.pixelSize: 9
        color: Theme.background
    }
}
