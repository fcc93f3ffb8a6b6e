// The panel's root: picks the screen from the coordinator's state, paints the background and
// sets the panel's width; the height follows the screen shown.
import QtQuick
import Thwacko 1.0

Rectangle {
    id: root
    objectName: "contentView"
    width: 340
    height: screenLoader.item ? screenLoader.item.implicitHeight : 0

    readonly property string screenName: Root.showIncompatible ? "incompatible"
                                        : Root.showPalmCalibrate ? "calibration"
                                        : Root.screen === "about" ? "about" : "main"

    color: !Root.enabled && screenName === "main" ? Theme.backgroundDeep : Theme.background
    Behavior on color { ColorAnimation { duration: 400; easing.type: Easing.InOutQuad } }

    Shortcut {
        sequence: "Ctrl+Q"
        context: Qt.ApplicationShortcut
        onActivated: Qt.quit()
    }

    Loader {
        id: screenLoader
        width: parent.width
        sourceComponent: root.screenName === "main" ? mainScreen : placeholder
    }

    Component {
        id: mainScreen
        MainScreen {
            opacity: Root.enabled ? 1.0 : 0.75
            Behavior on opacity { NumberAnimation { duration: 400; easing.type: Easing.InOutQuad } }
        }
    }

    // The incompatible-device, calibration and About screens are drawn by their own views,
    // which the root routes to here; until they exist the panel stays empty.
    Component {
        id: placeholder
        Item { implicitHeight: 120 }
    }
}
