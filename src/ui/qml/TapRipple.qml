// One tap's ring: a 160-point annulus (14 wide) with an angular gradient that swells from 0.15
// to 3.5 times its size and fades out over one second. It never takes the mouse.
import QtQuick
import QtQuick.Shapes
import Thwacko 1.0

Item {
    id: ripple
    property string rippleId
    width: 160
    height: 160
    scale: 0.15
    opacity: 0.7
    enabled: false

    readonly property color green: Qt.rgba(60 / 255, 203 / 255, 127 / 255, 1)

    Shape {
        anchors.fill: parent
        antialiasing: true
        ShapePath {
            fillRule: ShapePath.OddEvenFill
            strokeWidth: -1
            fillGradient: ConicalGradient {
                centerX: 80; centerY: 80; angle: 0
                GradientStop { position: 0.0; color: Theme.withOpacity(ripple.green, 0.7) }
                GradientStop { position: 0.2; color: Theme.withOpacity(ripple.green, 0.55) }
                GradientStop { position: 0.4; color: Theme.withOpacity(Theme.rippleMint, 0.5) }
                GradientStop { position: 0.6; color: Theme.withOpacity(ripple.green, 0.4) }
                GradientStop { position: 0.8; color: Theme.withOpacity(Theme.rippleMint, 0.35) }
                GradientStop { position: 1.0; color: Theme.withOpacity(ripple.green, 0.7) }
            }
            PathAngleArc { centerX: 80; centerY: 80; radiusX: 87; radiusY: 87; startAngle: 0; sweepAngle: 360 }
            PathAngleArc { centerX: 80; centerY: 80; radiusX: 73; radiusY: 73; startAngle: 0; sweepAngle: 360; moveToStart: true }
        }
    }

    ParallelAnimation {
        running: true
        NumberAnimation { target: ripple; property: "scale"; to: 3.5; duration: 1000; easing.type: Easing.OutQuad }
        NumberAnimation { target: ripple; property: "opacity"; to: 0; duration: 1000; easing.type: Easing.OutQuad }
    }
}
