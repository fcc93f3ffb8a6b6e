// The panel's root: picks the screen from the coordinator's state, paints the background and
// sets the panel's width; the height follows the screen shown.
import QtQuick
import QtQuick.Controls
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
        sourceComponent: root.screenName === "main" ? mainScreen
                         : root.screenName === "calibration" ? calibrationScreen
                         : root.screenName === "incompatible" ? incompatibleScreen : aboutScreen
    }

    // The settings card hangs below the header's gear, its arrow pointing at it; Escape or a
    // click outside closes it, which the coordinator learns as a dismissal.
    readonly property bool settingsShown: Root.showSettings && screenName === "main"
    onSettingsShownChanged: settingsShown ? settingsPopup.open() : settingsPopup.close()

    Popup {
        id: settingsPopup
        objectName: "settingsPopup"
        x: (root.width - 300) / 2
        y: 56
        padding: 0
        modal: true
        focus: true
        dim: false
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside
        background: Item {}
        onClosed: if (Root.showSettings) Root.dismissSettings()

        contentItem: Item {
            implicitWidth: 300
            implicitHeight: settingsLoader.item ? settingsLoader.item.implicitHeight : 0
            Rectangle {
                // The arrow: a square turned on its corner, half hidden behind the card.
                x: 200 - width / 2
                y: -height / 2
                width: 11; height: 11
                rotation: 45
                color: Theme.background
                border.width: 0.5
                border.color: Theme.overlayStrong
            }
            Loader {
                id: settingsLoader
                active: settingsPopup.visible
                sourceComponent: SettingsView { height: implicitHeight }
            }
        }
    }

    Component {
        id: mainScreen
        MainScreen {
            opacity: Root.enabled ? 1.0 : 0.75
            Behavior on opacity { NumberAnimation { duration: 400; easing.type: Easing.InOutQuad } }
        }
    }

    Component {
        id: calibrationScreen
        PalmCalibrateView {}
    }

    Component {
        id: incompatibleScreen
        IncompatibleView {}
    }

    Component {
        id: aboutScreen
        AboutView {}
    }
}
