// The listening switch: a 72 x 28 capsule reading "Live" or "Off". A click asks for the
// opposite state through toggled(); the owner decides and sets isOn.
import QtQuick
import Thwacko 1.0

Item {
    id: toggle
    property bool isOn: false
    readonly property real knobInset: 3
    readonly property real knobHeight: height - 2 * knobInset
    readonly property real knobWidth: knobHeight * 1.4
    // 0 while off, 1 while on; every part follows it, so a second click retargets smoothly.
    property real progress: isOn ? 1 : 0
    signal toggled(bool value)

    width: 72
    height: 28

    Behavior on progress {
        NumberAnimation { duration: 350; easing.type: Easing.BezierSpline; easing.bezierCurve: [0.4, 0, 0.2, 1, 1, 1] }
    }

    // Glow under the control; a decoration only.
    Rectangle {
        anchors.fill: track
        anchors.margins: -3
        anchors.topMargin: -1
        anchors.bottomMargin: -5
        radius: height / 2
        color: Qt.rgba(60 / 255, 203 / 255, 127 / 255, 0.18 * toggle.progress)
    }

    Rectangle {
        id: track
        anchors.fill: parent
        radius: height / 2
        color: Qt.tint(Theme.hairline, Qt.rgba(60 / 255, 203 / 255, 127 / 255, toggle.progress))
        border.width: 0.5
        border.color: toggle.isOn ? Qt.rgba(1, 1, 1, 0.22) : Theme.overlayStrong
    }

    Text {
        id: label
        objectName: "toggleLabel"
        text: toggle.isOn ? "Live" : "Off"
        color: toggle.isOn ? "white" : Theme.inkFaint
        font.family: Theme.fontFamily
        font.pixelSize: 9
        font.bold: toggle.isOn
        // Centred in the width the knob leaves: left of it when on, right of it when off.
        x: toggle.isOn ? (toggle.width - toggle.knobWidth - toggle.knobInset * 2 - width) / 2
                       : toggle.knobWidth + toggle.knobInset * 2
                         + (toggle.width - toggle.knobWidth - toggle.knobInset * 2 - width) / 2
        anchors.verticalCenter: parent.verticalCenter
    }

    Rectangle {
        id: knobShadow
        x: knob.x
        y: knob.y + 1
        width: knob.width
        height: knob.height
        radius: knob.radius
        color: Qt.rgba(0, 0, 0, 0.10 + 0.12 * (1 - toggle.progress))
    }

    Rectangle {
        id: knob
        objectName: "knob"
        x: toggle.knobInset + (toggle.width - toggle.knobWidth - 2 * toggle.knobInset) * toggle.progress
        y: toggle.knobInset
        width: toggle.knobWidth
        height: toggle.knobHeight
        radius: height / 2
        color: Qt.tint(Theme.knobOff, Qt.rgba(1, 1, 1, toggle.progress))
        border.width: 0.5
        border.color: Qt.rgba(0, 0, 0, 0.15 * (1 - toggle.progress))
    }

    TapHandler { onTapped: toggle.toggled(!toggle.isOn) }
}
