import QtQuick
import QtTest
import Thwacko 1.0
import ThwackoTest 1.0
import "qrc:/qml"

// The About screen in a process of its own: it counts the update feed's requests from zero.
TestCase {
    id: testCase
    name: "About"
    when: windowShown
    width: 340
    height: 700
    visible: true

    Component { id: contentView; ContentView {} }

    function find(item, name) {
        const found = findChild(item, name)
        verify(found !== null, "no " + name)
        return found
    }

    function showAbout(panel) {
        Root.about()
        tryVerify(() => findChild(panel, "aboutView") !== null)
        return findChild(panel, "aboutView")
    }

    function settle() {
        tryVerify(() => !Probe.checkingForUpdates(), 10000)
    }

    function test_everyShowingChecksOnceAndTheUpdateRowFollowsTheFeed() {
        const panel = createTemporaryObject(contentView, testCase)
        Probe.setFeed("0.9", "")
        let about = showAbout(panel)
        settle()
        compare(Probe.feedRequests(), 1)
        verify(!find(about, "updateRow").visible)
        compare(find(about, "versionSpacing").height, 16)

        // Two showings in quick succession: the second finds the first check still running.
        Probe.setFeed("9.9", "https://dl.example/thwacko-9.9.deb")
        Root.back()
        Root.about()
        Root.back()
        about = showAbout(panel)
        settle()
        compare(Probe.feedRequests(), 2)
        const row = find(about, "updateRow")
        tryVerify(() => row.visible)
        compare(find(about, "updateText").text, "Update available \u00b7 v9.9")
        compare(find(about, "versionSpacing").height, 10)
        mouseClick(row)
        compare(Probe.openedURL(), "https://dl.example/thwacko-9.9.deb")

        // A feed without a link sends the user to the home page.
        Probe.setFeed("9.9.1", "")
        Root.back()
        about = showAbout(panel)
        settle()
        compare(find(about, "updateText").text, "Update available \u00b7 v9.9.1")
        mouseClick(find(about, "updateRow"))
        compare(Probe.openedURL(), "https://home.example/")

        mouseClick(find(about, "done"))
        compare(Root.screen, "main")
    }

    function test_factsNameThisMachineAndGroupTheTapTotal() {
        const panel = createTemporaryObject(contentView, testCase)
        if (!Root.enabled) Root.toggle(true)
        Probe.setLocale("de_DE")
        Probe.setTotalTaps(1234567)
        let about = showAbout(panel)
        const labels = About.facts.map(fact => fact.label)
        compare(labels, ["Platform", "Sensor", "Sound engine", "Privacy", "Total taps"])
        compare(find(about, "fact_Platform").value, "Linux")
        compare(find(about, "fact_Sensor").value, "HID accelerometer")
        compare(find(about, "fact_Sound engine").value, "pulled")
        compare(find(about, "fact_Privacy").value, "No data collected")
        compare(find(about, "fact_Total taps").value, "1.234.567")

        Root.back()
        Probe.setLocale("en_US")
        about = showAbout(panel)
        compare(find(about, "fact_Total taps").value, "1,234,567")
        // The total follows the taps while the screen is open.
        Probe.tap(0.05)
        compare(find(about, "fact_Total taps").value, "1,234,568")
        Root.back()
        settle()
    }
}
