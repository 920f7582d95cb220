import QtQuick
import QtTest
import Orvane.Session
import Orvane.Calls
import Orvane.People

Item {
    id: root
    width: 900; height: 900

    Component {
        id: pageComponent
        SettingsPageView {
            anchors.fill: parent
            colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
            language: LanguageManager.language
        }
    }

    TestCase {
        name: "SettingsPageView"
        when: windowShown

        property var page

        function find(item, name) { return findChild(item, name) }
        function sectionTitle(name) { return find(find(page, name), "sectionTitle").text }

        function init() {
            LanguageManager.language = "ru"
            ThemeManager.mode = "light"
            page = createTemporaryObject(pageComponent, root)
            verify(page)
        }

        function test_languageRelabelsTheWholePage() {
            compare(find(page, "pageTitle").text, "Настройки")
            compare(sectionTitle("callsSection"), "Звонки")
            compare(find(find(page, "speakerRow"), "volumeLabel").text, "Громкость динамика")
            compare(find(page, "micTestButton").text, "Тест")

            mouseClick(find(page, "langTab_en"))
            compare(LanguageManager.language, "en")
            compare(Preferences.stringValue("appLanguage"), "en")
            compare(find(page, "pageTitle").text, "Settings")
            compare(sectionTitle("callsSection"), "Calls")
            compare(find(find(page, "speakerRow"), "volumeLabel").text, "Speaker volume")
            compare(find(page, "micTestButton").text, "Test")
            compare(find(find(page, "themeRow_dark"), "themeName").text, "Dark")
        }

        function test_themeRowsCarryTheCheckMark() {
            const light = find(find(page, "themeRow_light"), "checkmark")
            const dark = find(find(page, "themeRow_dark"), "checkmark")
            verify(light.visible)
            verify(!dark.visible)
            mouseClick(find(page, "themeRow_dark"))
            compare(ThemeManager.mode, "dark")
            verify(!light.visible)
            verify(dark.visible)
            mouseClick(find(page, "themeRow_light"))
            compare(ThemeManager.mode, "light")
            verify(light.visible)
        }

        function test_micSwitchEditsTheStoredFlag() {
            const model = page.content.model
            const sw = find(page, "micBeforeCallSwitch")
            const before = model.enableMicBeforeCall
            compare(sw.checked, before)
            mouseClick(sw)
            compare(model.enableMicBeforeCall, !before)
            mouseClick(sw)
            compare(model.enableMicBeforeCall, before)
        }

        function test_deviceChooserNamesAMissingDeviceAndChoosesTheDefault() {
            const chooser = find(page, "microphoneChooser")
            const combo = find(chooser, "deviceCombo")
            compare(find(chooser, "deviceLabel").text, "Микрофон")
            compare(combo.displayText, "По умолчанию")
            AudioSettingsManager.microphoneDevice = "gone"
            const notice = find(chooser, "deviceMissingNotice")
            tryVerify(() => notice.visible, 10000)
            compare(notice.text, "«gone» не найден — используется по умолчанию")
            combo.activated(0)
            compare(AudioSettingsManager.microphoneDevice, "")
            verify(!notice.visible)
        }

        function test_leavingThePageStopsTheMicrophoneTest() {
            const model = page.content.model
            const button = find(page, "micTestButton")
            mouseClick(button)
            tryVerify(() => model.isTesting, 10000)
            compare(button.text, "Стоп")
            verify(model.micMonitor.isRunning)

            page.visible = false
            verify(!model.isTesting)
            verify(!model.micMonitor.isRunning)
            page.visible = true
            compare(button.text, "Тест")
            tryCompare(model, "micLevel", 0)
            verify(!find(find(page, "micMeter"), "bar0").lit)
        }
    }
}
