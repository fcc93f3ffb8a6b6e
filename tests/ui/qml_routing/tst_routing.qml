// The root view's routing, in a process of its own: the other panel tests end with the
// incompatible-device screen, which then stays for good.
import QtQuick
import QtTest
import Thwacko 1.0
import ThwackoTest 1.0
import "qrc:/qml"

TestCase {
    id: testCase
    name: "Routing"
    when: windowShown
    width: 340
    height: 800
    visible: true

    Component { id: contentView; ContentView {} }

    function find(item, name) {
        const found = findChild(item, name)
        verify(found !== null, "no " + name)
        return found
    }

    function test_screensComeAndGoWithTheCoordinatorsState() {
        Probe.setSensorPresent(true)
        Root.toggle(true)
        const panel = createTemporaryObject(contentView, testCase)
        verify(find(panel, "mainScreen"))

        // The gear opens the card; its About row closes it and switches to About.
        const popup = find(panel, "settingsPopup")
        mouseClick(find(panel, "gear"))
        tryCompare(popup, "opened", true)
        mouseClick(find(popup.contentItem, "aboutRow"))
        compare(Root.screen, "about")
        tryCompare(popup, "visible", false)
        Root.back()

        // Escape dismisses the card too, and the coordinator hears of it.
        Root.settingsTap()
        tryCompare(popup, "opened", true)
        keyClick(Qt.Key_Escape)
        compare(Root.showSettings, false)

        // Cancelling the calibration removes its screen.
        Root.calibratePalms()
        const calibration = find(panel, "palmCalibrateView")
        Probe.slap(0.3)
        compare(find(calibration, "dot0").filled, true)
        mouseClick(find(calibration, "cancel"))
        compare(Root.showPalmCalibrate, false)
        tryVerify(function() { return findChild(panel, "palmCalibrateView") === null })
        verify(find(panel, "mainScreen"))
    }
}
