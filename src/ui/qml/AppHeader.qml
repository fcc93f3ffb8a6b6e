// The top bar: the product word, the settings gear and the listening switch.
import QtQuick
import Thwacko 1.0

Item {
    id: header
    property bool isEnabled: false
    signal toggled(bool value)
    signal settingsTapped()

    implicitHeight: 20 + Math.max(title.implicitHeight, 28) + 16

    Text {
        id: title
        x: 24
        anchors.verticalCenter: controls.verticalCenter
        text: "thwacko"
        color: Theme.ink
        font.family: Theme.fontFamily
        font.pixelSize: 19
        font.weight: Font.Black
        font.letterSpacing: -0.38
    }

    Row {
        id: controls
        anchors.right: parent.right
        anchors.rightMargin: 24
        y: 20
        spacing: 10

        Rectangle {
            id: gear
            objectName: "gear"
            width: 28; height: 28
            radius: 6
            color: gearArea.containsMouse ? Theme.withOpacity(Theme.accent, 0.08) : "transparent"
            Text {
                anchors.centerIn: parent
                text: "\u2699"
                font.pixelSize: 17
                color: gearArea.containsMouse ? Theme.accent : Theme.inkFaint
            }
            MouseArea {
                id: gearArea
                anchors.fill: parent
                hoverEnabled: true
                onClicked: header.settingsTapped()
            }
        }

        TapToggle {
            objectName: "tapToggle"
            isOn: header.isEnabled
            onToggled: (value) => header.toggled(value)
        }
    }
}
