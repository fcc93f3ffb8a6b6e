import QtQuick
import QtTest
import Thwacko 1.0
import ThwackoTest 1.0
import "qrc:/qml"

TestCase {
    id: testCase
    name: "PanelScreens"
    when: windowShown
    width: 340
    height: 800
    visible: true

    Component { id: settingsView; SettingsView {} }
    Component { id: contentView; ContentView {} }
    Component { id: calibrationView; PalmCalibrateView { width: 340 } }
    Component { id: modePanel; ModePanel { width: 292 } }

    function find(item, name) {
        const found = findChild(item, name)
        verify(found !== null, "no " + name)
        return found
    }

    function init() {
        Probe.setSensorPresent(true)
        Midi.enabled = false
        if (!Root.enabled || !Detector.listening) Root.toggle(true)
    }

    function cleanup() {
        Root.chooseTapSensor("accelerometer")
        Settings.chooseAppearance("system")
        Root.dismissSettings()
        Root.back()
    }

    function test_volumeSliderWritesAtOnceAndTheReadingTruncates() {
        const card = createTemporaryObject(settingsView, testCase)
        const slider = find(card, "volumeSlider")
        Settings.volume = 0.5
        // A press already writes; so does every step of the drag.
        mousePress(slider, 0, 7)
        compare(Settings.volume, 0)
        mouseMove(slider, slider.width / 4, 7, -1, Qt.LeftButton)
        fuzzyCompare(Settings.volume, 0.25, 1e-6)
        mouseRelease(slider, slider.width / 4, 7)
        compare(find(slider, "thumb").x, slider.width / 4 - 7)

        const reading = find(card, "volumeText")
        Settings.volume = 0.999
        compare(reading.text, "99%")

        Midi.enabled = true
        verify(find(card, "midiBadge").visible)
        verify(!reading.visible)
        mousePress(slider, slider.width / 2, 7)
        mouseRelease(slider, slider.width / 2, 7)
        fuzzyCompare(Settings.volume, 0.5, 1e-6)
    }

    function test_pillsSaveAndApplyAtOnceEvenWhenAlreadyChosen() {
        const card = createTemporaryObject(settingsView, testCase)
        const dark = find(card, "pill_dark")
        verify(find(card, "pill_system").isSelected)
        const lightColor = card.color.toString()
        mouseClick(dark)
        compare(Root.rawAppearance, "dark")
        verify(Theme.dark)
        verify(dark.isSelected)
        verify(!find(card, "pill_system").isSelected)
        verify(card.color.toString() !== lightColor)

        const applied = Probe.appearanceChanges()
        mouseClick(dark)
        compare(Probe.appearanceChanges(), applied + 1)
        compare(Root.rawAppearance, "dark")
    }

    function test_tapSensorPillsMoveListeningAndTheSlidersSpeakDecibels() {
        Probe.setMicrophonePresent(true)
        Detector.threshold = 0.015
        Modes.velocityCeiling = 0.09
        const card = createTemporaryObject(settingsView, testCase)
        const panel = createTemporaryObject(modePanel, testCase)
        verify(find(card, "pill_accelerometer").isSelected)
        mouseClick(find(card, "pill_microphone"))
        verify(find(card, "pill_microphone").isSelected && Detector.listening)
        compare(find(panel, "range").text, "-16 dB  \u2192  -1 dB")
        compare(find(panel, "ignore").text, "ignore (-16 dB)")
        // One channel: no sides, nothing to calibrate.
        Modes.mode = "experimentalLR"
        verify(find(panel, "stereoNeeded").visible && !find(panel, "calibrateButton").visible)
    }

    function test_aboutRowLeadsToAbout() {
        const card = createTemporaryObject(settingsView, testCase)
        compare(find(card, "versionText").text.charAt(0), "v")
        Root.settingsTap()
        mouseClick(find(card, "aboutRow"))
        compare(Root.showSettings, false)
        compare(Root.screen, "about")
    }

    function test_calibrationFollowsTheSlapsAndOffersTryAgainOnlyAfterABadResult() {
        Root.calibratePalms()
        const view = createTemporaryObject(calibrationView, testCase)
        const glyph = find(view, "directionGlyph")
        const filled = function() {
            return [0, 1, 2].map(function(i) { return find(view, "dot" + i).filled })
        }
        compare(find(view, "stageTitle").text, "Right palm")
        Probe.slap(0.3)
        Probe.slap(0.3)
        compare(filled(), [true, true, false])
        compare(glyph.text, "\u25b6")
        compare(find(view, "tryAgain").visible, false)
        compare(CalibrationScreen.rippleIDs.length, 2)

        Probe.slap(0.3)
        compare(view.stage, "left")
        compare(filled(), [false, false, false])
        compare(glyph.text, "\u25c0")
        verify(find(view, "instruction").text.indexOf("LEFT") >= 0)

        // Both sides jolting the same way cannot be told apart.
        for (let i = 0; i < 3; ++i) Probe.slap(0.3)
        compare(view.stage, "badResult")
        compare(filled(), [false, false, false])
        tryCompare(glyph, "opacity", 0)
        verify(find(view, "tryAgain").visible)
        verify(find(view, "cancel").visible)

        mouseClick(find(view, "tryAgain"))
        compare(view.stage, "right")
        compare(find(view, "tryAgain").visible, false)

        mouseClick(find(view, "cancel"))
        compare(Root.showPalmCalibrate, false)
        verify(!Calibration.calibrated)
    }

    // Runs last: without a sensor or a microphone the panel stays on the incompatible screen.
    function test_zz_theIncompatibleScreenOffersTheOtherTapSensor() {
        Probe.setSensorPresent(false)
        Probe.setMicrophonePresent(true)
        Root.toggle(false)
        Root.toggle(true)
        const panel = createTemporaryObject(contentView, testCase)
        compare(find(panel, "incompatibleTitle").text, "Accelerometer Required")
        mouseClick(find(panel, "useOtherSensor"))
        compare(panel.screenName, "main")
        verify(Root.enabled && Detector.listening)
        // Back to the missing accelerometer: the switch goes off, and switching on offers the way out again.
        Root.chooseTapSensor("accelerometer")
        Probe.setMicrophonePresent(false)
        Root.toggle(true)
        mouseClick(find(panel, "useOtherSensor"))
        compare(panel.screenName, "incompatible")
        verify(!Root.enabled)
        // The microphone failed too: the way back to the accelerometer, never a dead end.
        compare(find(panel, "useOtherSensor").children[0].text, "Use the accelerometer instead")
        mouseClick(find(panel, "useOtherSensor"))
        compare(panel.screenName, "incompatible")
        compare(find(panel, "useOtherSensor").children[0].text, "Use the microphone instead")
        Root.calibratePalms()
        verify(findChild(panel, "palmCalibrateView") === null)
        Root.calibrationFinished()
    }
}
