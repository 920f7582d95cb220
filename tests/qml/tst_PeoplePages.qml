import QtQuick
import QtTest
import Orvane.Session
import Orvane.Calls
import Orvane.People

// The people pages: friends, profile, settings.
Item {
    id: root
    width: 900; height: 900

    Component {
        id: pageComponent
        FriendsListView {
            anchors.fill: parent
            colors: AppColors.light
            language: LanguageManager.language
        }
    }

    Component {
        id: rowComponent
        FriendRow {
            width: 600
            index: 0
            displayName: "Анна Смирнова"
            avatarURL: ""
        }
    }

    TestCase {
        name: "FriendsListView"
        when: windowShown

        function init() {
            LanguageManager.language = "ru"
        }

        function test_signedOutShowsTheErrorInTheCurrentLanguage() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
            const page = createTemporaryObject(pageComponent, root)
            const error = findChild(page, "errorState")
            tryVerify(() => error.visible)
            verify(!findChild(page, "loadingState").visible)
            verify(!findChild(page, "friendsList").visible)
            compare(error.text, "Токен не найден")
            LanguageManager.language = "en"
            compare(error.text, "Token not found")
            compare(findChild(page, "pageTitle").text, "Friends")
            compare(findChild(page, "searchField").placeholderText, "Enter text to search")
        }

        function test_loadingThenListThenSearch() {
            verify(testServer.signIn())
            const page = createTemporaryObject(pageComponent, root)
            // Nothing listed yet: progress, not the empty state.
            verify(findChild(page, "loadingState").visible)
            compare(findChild(page, "loadingState").text, "Загрузка...")
            verify(!findChild(page, "emptyState").visible)
            tryVerify(() => findChild(page, "friendsList").visible, 10000)
            compare(page.model.count, 4)
            verify(!findChild(page, "errorState").visible)

            // Rows show the user names; chat and call hand the host the friend as a map.
            const list = findChild(page, "friendsList")
            const names = []
            for (let i = 0; i < list.count; ++i)
                names.push(findChild(list.itemAtIndex(i), "usernameText").text)
            compare(names.sort(), ["@boris", "@john", "@maria", "@sofia"])
            const chat = createTemporaryObject(spyComponent, root, { target: page, signalName: "friendSelected" })
            const call = createTemporaryObject(spyComponent, root, { target: page, signalName: "callRequested" })
            mouseClick(findChild(list.itemAtIndex(0), "chatButton"))
            mouseClick(findChild(list.itemAtIndex(0), "callButton"))
            compare(chat.count, 1)
            compare(call.count, 1)
            const chosen = chat.signalArguments[0][0]
            compare(chosen.id, page.model.friendAt(0).id)
            verify(chosen.username !== undefined && chosen.unreadCount !== undefined)
            compare(call.signalArguments[0][0].id, chosen.id)

            // The search rules are checked on the model (tests/people); here, what the page shows.
            page.model.searchText = "zzz"
            compare(findChild(page, "searchField").text, "zzz")
            const empty = findChild(page, "emptyState")
            verify(empty.visible)
            compare(empty.text, "Нет друзей")
            verify(!findChild(page, "friendsList").visible)

            page.model.searchText = ""
            compare(page.model.count, 4)
        }

        function test_hidingAndShowingLoadsAgain() {
            verify(testServer.signIn())
            const page = createTemporaryObject(pageComponent, root)
            tryVerify(() => page.model.count === 4, 10000)
            page.visible = false
            verify(!page.model.isLoading)
            page.visible = true
            // A reload with friends on screen shows no progress state.
            verify(page.model.isLoading)
            verify(findChild(page, "friendsList").visible)
            tryVerify(() => !page.model.isLoading, 10000)
            compare(page.model.count, 4)
        }

        function test_menuItemRule_data() {
            return [
                { tag: "with user name", entry: { id: "u1", name: "Анна", username: "anna" }, hasUsername: true },
                { tag: "without user name", entry: { id: "u2", name: "Анна" }, hasUsername: false },
            ]
        }

        function test_menuItemRule(data) {
            const row = createTemporaryObject(rowComponent, root, {
                friendEntry: data.entry, username: data.entry.username, hasUsername: data.hasUsername
            })
            verify(row)
            compare(findChild(row, "usernameText").visible, data.hasUsername)
            mouseClick(findChild(row, "menuButton"))
            tryVerify(() => row.menu.opened)
            compare(row.menu.count, data.hasUsername ? 2 : 1)
            compare(row.menu.itemAt(1) === row.websiteMenuItem, data.hasUsername)
            if (data.hasUsername) {
                const opened = createTemporaryObject(spyComponent, root, { target: WebPage, signalName: "lastOpenedUrlChanged" })
                mouseClick(row.websiteMenuItem)
                compare(opened.count, 1)
                verify(WebPage.lastOpenedUrl.toString().endsWith("/anna"))
            } else {
                const chat = createTemporaryObject(spyComponent, root, { target: row, signalName: "chat" })
                const item = findChild(row, "sendMessageItem") || row.menu.itemAt(0)
                compare(item.text, "Написать сообщение")
                mouseClick(item)
                compare(chat.count, 1)
            }
            // The rule follows the row's friend.
            row.hasUsername = !data.hasUsername
            compare(row.menu.count, data.hasUsername ? 1 : 2)
        }
    }

    Component {
        id: spyComponent
        SignalSpy {}
    }

    Component {
        id: profileComponent
        ProfilePageView {
            anchors.fill: parent
            colors: AppColors.light
            language: LanguageManager.language
        }
    }

    TestCase {
        name: "ProfilePageView"
        when: windowShown

        function rowTitle(page, i) { return findChild(findChild(page, "profileRow" + i), "rowTitle").text }

        function init() { LanguageManager.language = "ru" }

        function cleanupTestCase() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
        }

        function test_retryAfterAnError() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
            const page = createTemporaryObject(profileComponent, root)
            const error = findChild(page, "errorState")
            tryVerify(() => error.visible)
            compare(error.text, "Токен не найден")
            const retry = findChild(page, "retryButton")
            verify(retry.visible)
            compare(retry.text, "Повторить")
            verify(!findChild(page, "profileView").visible)

            verify(testServer.signIn())
            mouseClick(retry)
            tryVerify(() => findChild(page, "profileView").visible, 10000)
            verify(!error.visible)
            verify(findChild(page, "nameLine").text.length > 0)
            verify(findChild(page, "usernameLine").text.startsWith("@"))
            verify(findChild(page, "websiteButton").visible)
        }

        function test_languageRelabelsTheTableWithoutReloading() {
            verify(testServer.signIn())
            const page = createTemporaryObject(profileComponent, root)
            tryVerify(() => findChild(page, "profileView").visible, 10000)
            compare(rowTitle(page, 3), "Город")
            compare(findChild(page, "pageTitle").text, "Профиль")
            const value = findChild(findChild(page, "profileRow3"), "rowValue").text

            LanguageManager.language = "en"
            verify(!page.content.model.isLoading)
            verify(findChild(page, "profileView").visible)
            compare(rowTitle(page, 3), "City")
            compare(findChild(findChild(page, "profileRow3"), "rowValue").text, value)
            compare(findChild(page, "pageTitle").text, "Profile")
            compare(findChild(page, "logoutButton").text, "Logout")
            compare(findChild(page, "websiteButton").text, "Website")
            // Only the last row has no separator.
            verify(findChild(findChild(page, "profileRow4"), "separator").visible)
            verify(!findChild(findChild(page, "profileRow5"), "separator").visible)
        }

        function test_logoutSignsOutAtOnce() {
            verify(testServer.signIn())
            const page = createTemporaryObject(profileComponent, root)
            mouseClick(findChild(page, "logoutButton"))
            verify(!AuthManager.isAuthenticated)
            verify(!AuthManager.currentUser)
        }
    }

    Component {
        id: settingsComponent
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

        function sectionTitle(name) { return findChild(findChild(page, name), "sectionTitle").text }

        function init() {
            LanguageManager.language = "ru"
            ThemeManager.mode = "light"
            page = createTemporaryObject(settingsComponent, root)
            verify(page)
        }

        function test_languageRelabelsTheWholePage() {
            compare(findChild(page, "pageTitle").text, "Настройки")
            compare(sectionTitle("callsSection"), "Звонки")
            compare(findChild(findChild(page, "speakerRow"), "volumeLabel").text, "Громкость динамика")
            compare(findChild(page, "micTestButton").text, "Тест")

            mouseClick(findChild(page, "langTab_en"))
            compare(LanguageManager.language, "en")
            compare(Preferences.stringValue("appLanguage"), "en")
            compare(findChild(page, "pageTitle").text, "Settings")
            compare(sectionTitle("callsSection"), "Calls")
            compare(findChild(findChild(page, "speakerRow"), "volumeLabel").text, "Speaker volume")
            compare(findChild(page, "micTestButton").text, "Test")
            compare(findChild(findChild(page, "themeRow_dark"), "themeName").text, "Dark")
        }

        function test_themeRowsCarryTheCheckMark() {
            const light = findChild(findChild(page, "themeRow_light"), "checkmark")
            const dark = findChild(findChild(page, "themeRow_dark"), "checkmark")
            verify(light.visible)
            verify(!dark.visible)
            mouseClick(findChild(page, "themeRow_dark"))
            compare(ThemeManager.mode, "dark")
            verify(!light.visible)
            verify(dark.visible)
            mouseClick(findChild(page, "themeRow_light"))
            compare(ThemeManager.mode, "light")
            verify(light.visible)
        }

        function test_micSwitchEditsTheStoredFlag() {
            const model = page.content.model
            const sw = findChild(page, "micBeforeCallSwitch")
            const before = model.enableMicBeforeCall
            compare(sw.checked, before)
            mouseClick(sw)
            compare(model.enableMicBeforeCall, !before)
            mouseClick(sw)
            compare(model.enableMicBeforeCall, before)
        }

        function test_deviceChooserNamesAMissingDeviceAndChoosesTheDefault() {
            const chooser = findChild(page, "microphoneChooser")
            const combo = findChild(chooser, "deviceCombo")
            compare(findChild(chooser, "deviceLabel").text, "Микрофон")
            compare(combo.displayText, "По умолчанию")
            AudioSettingsManager.microphoneDevice = "gone"
            const notice = findChild(chooser, "deviceMissingNotice")
            tryVerify(() => notice.visible, 10000)
            compare(notice.text, "«gone» не найден — используется по умолчанию")
            combo.activated(0)
            compare(AudioSettingsManager.microphoneDevice, "")
            verify(!notice.visible)
        }

        function test_leavingThePageStopsTheMicrophoneTest() {
            const model = page.content.model
            const button = findChild(page, "micTestButton")
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
            verify(!findChild(findChild(page, "micMeter"), "bar0").lit)
        }
    }
}
