// Draws one ripple per live tap, centred 36 points in from the right edge and 30 down. A
// ripple keeps running while its identifier stays in the list.
import QtQuick

Item {
    id: overlay
    property var rippleIDs: []
    enabled: false

    Repeater {
        model: overlay.rippleIDs
        delegate: TapRipple {
            rippleId: modelData
            x: overlay.width - 36 - width / 2
            y: 30 - height / 2
        }
    }
}
