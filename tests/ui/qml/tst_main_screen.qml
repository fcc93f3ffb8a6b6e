import QtQuick
import QtTest
import Thwacko 1.0
import ThwackoTest 1.0
import "qrc:/qml"

TestCase {
    id: testCase
    name: "MainScreen"
    when: windowShown
    width: 340
    height: 800
    visible: true

    Component { id: mainScreen; MainScreen { width: 340 } }
    Component { id: modePicker; AnimatedModePicker { width: 292 } }
    Component { id: soundPicker; SoundPicker { width: 292 } }
    Component { id: spy; SignalSpy {} }

    function find(item, name) {
        const found = findChild(item, name)
        verify(found !== null, "no " + name)
        return found
    }

    function init() {
        Probe.setSensorPresent(true)
        Modes.mode = "velocity"
        Midi.enabled = false
        if (!Root.enabled || !Detector.listening) Root.toggle(true)
    }

    function test_modePickerWritesTheTappedModeAndIgnoresTheCurrentOne() {
        const picker = createTemporaryObject(modePicker, testCase, { mode: "velocity" })
        const chosen = createTemporaryObject(spy, testCase, { target: picker, signalName: "modeChosen" })
        mouseClick(find(picker, "segment_velocity"))
        compare(chosen.count, 0)
        mouseClick(find(picker, "segment_split"))
        compare(chosen.count, 1)
        compare(chosen.signalArguments[0][0], "split")

        const screen = createTemporaryObject(mainScreen, testCase)
        mouseClick(find(screen, "segment_experimentalLR"))
        compare(Modes.mode, "experimentalLR")
        verify(find(screen, "leftPicker"))
    }

    function test_toggleAsksTheCoordinatorInsteadOfFlippingItself() {
        const toggle = createTemporaryObject(Qt.createComponent("qrc:/qml/TapToggle.qml"), testCase, { isOn: false })
        const toggled = createTemporaryObject(spy, testCase, { target: toggle, signalName: "toggled" })
        mouseClick(toggle)
        compare(toggled.count, 1)
        compare(toggled.signalArguments[0][0], true)
        compare(toggle.isOn, false)
        // A quick second click is a second request, not a swallowed double click.
        toggle.isOn = true
        mouseClick(toggle)
        compare(toggled.count, 2)
        compare(toggled.signalArguments[1][0], false)

        // Through the header: switching off logs "Off"; switching on without a sensor leads
        // to the incompatible-device screen and leaves the switch off.
        const screen = createTemporaryObject(mainScreen, testCase)
        const headerToggle = find(screen, "tapToggle")
        mouseClick(headerToggle)
        compare(Root.enabled, false)
        compare(headerToggle.isOn, false)
        Probe.setSensorPresent(false)
        mouseClick(headerToggle)
        compare(Root.enabled, false)
        compare(Root.showIncompatible, true)
        compare(find(headerToggle, "toggleLabel").text, "Off")
    }

    function test_pickerMenuListsNineSoundsWithOneCheckAndPreviewsAChoice() {
        const picker = createTemporaryObject(soundPicker, testCase, { selected: "cowbell" })
        const events = []
        picker.chosen.connect(function(sound) { events.push("chosen " + sound) })
        picker.preview.connect(function() { events.push("preview") })
        compare(find(picker, "midiLine").text, "MIDI 56 \u00b7 GM channel 10")

        mouseClick(find(picker, "change"))
        const menu = find(picker, "soundMenu")
        tryCompare(menu, "opened", true)
        compare(menu.count, 9)
        let checks = 0
        for (let i = 0; i < menu.count; ++i)
            if (menu.itemAt(i).text.indexOf("\u2713") >= 0) ++checks
        compare(checks, 1)
        verify(menu.itemAt(7).text.indexOf("\u2713") >= 0)

        menu.itemAt(1).triggered()
        compare(events, ["chosen snare", "preview"])
    }

    function test_previewPlaysTheSlotsSoundThroughTheEngine() {
        const screen = createTemporaryObject(mainScreen, testCase)
        Probe.audioPeak()
        compare(Probe.audioPeak(), 0)
        mouseClick(find(find(screen, "velocityPicker"), "tile"))
        verify(Probe.audioPeak() > 0)
    }

    function test_activityRowTogglesTheListAndPausedReplacesTheFlash() {
        const screen = createTemporaryObject(mainScreen, testCase)
        const row = find(screen, "activityRow")
        mouseClick(row)
        compare(screen.activityExpanded, true)
        verify(findChild(screen, "activityLog") !== null)
        wait(600)
        mouseClick(row)
        compare(screen.activityExpanded, false)
        tryVerify(function() { return findChild(screen, "activityLog") === null })

        Probe.tap(0.05)
        tryCompare(find(screen, "flash"), "visible", true)
        compare(find(screen, "paused").visible, false)
        verify(find(screen, "flashText").text.indexOf("Snare") === 0)

        Root.toggle(false)
        Probe.tap(0.05)
        compare(find(screen, "paused").visible, true)
        compare(find(screen, "flash").visible, false)
    }

    function test_midiCardHelpFollowsSwitchAndMode() {
        const screen = createTemporaryObject(mainScreen, testCase)
        Modes.mode = "split"
        tryCompare(find(screen, "midiHelp"), "text", "Turn on to send MIDI to any DAW.")
        mouseClick(find(screen, "midiSwitch"))
        compare(Midi.enabled, true)
        tryCompare(find(screen, "midiHelp"), "text",
                   "Synth muted \u2014 picker below sets the MIDI note. Use \"thwacko\" as input in your DAW.")
    }

    function test_thresholdSliderPressesWriteWholeMilliG() {
        Modes.mode = "split"
        const screen = createTemporaryObject(mainScreen, testCase)
        const slider = find(screen, "splitThreshold")
        const track = find(slider, "track")
        mouseClick(track, 0, track.height / 2)
        compare(Modes.splitThreshold, 0.01)
        compare(find(slider, "value").text, "10 mg")
    }
}
