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

        function find(item, name) { return findChild(item, name) }

        function init() {
            LanguageManager.language = "ru"
        }

        function cleanupTestCase() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
        }

        function test_signedOutShowsTheErrorInTheCurrentLanguage() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
            const page = createTemporaryObject(pageComponent, root)
            const error = find(page, "errorState")
            tryVerify(() => error.visible)
            verify(!find(page, "loadingState").visible)
            verify(!find(page, "friendsList").visible)
            compare(error.text, "Токен не найден")
            LanguageManager.language = "en"
            compare(error.text, "Token not found")
            compare(find(page, "pageTitle").text, "Friends")
            compare(find(page, "searchField").placeholderText, "Enter text to search")
        }

        function test_loadingThenListThenSearch() {
            verify(testServer.signIn())
            const page = createTemporaryObject(pageComponent, root)
            // Nothing listed yet: progress, not the empty state.
            verify(find(page, "loadingState").visible)
            compare(find(page, "loadingState").text, "Загрузка...")
            verify(!find(page, "emptyState").visible)
            tryVerify(() => find(page, "friendsList").visible, 10000)
            compare(page.model.count, 4)
            verify(!find(page, "errorState").visible)

            // Rows show the user names; chat and call hand the host the friend as a map.
            const list = find(page, "friendsList")
            const names = []
            for (let i = 0; i < list.count; ++i)
                names.push(find(list.itemAtIndex(i), "usernameText").text)
            compare(names.sort(), ["@boris", "@john", "@maria", "@sofia"])
            const chat = createTemporaryObject(spyComponent, root, { target: page, signalName: "friendSelected" })
            const call = createTemporaryObject(spyComponent, root, { target: page, signalName: "callRequested" })
            mouseClick(find(list.itemAtIndex(0), "chatButton"))
            mouseClick(find(list.itemAtIndex(0), "callButton"))
            compare(chat.count, 1)
            compare(call.count, 1)
            const chosen = chat.signalArguments[0][0]
            compare(chosen.id, page.model.friendAt(0).id)
            verify(chosen.username !== undefined && chosen.unreadCount !== undefined)
            compare(call.signalArguments[0][0].id, chosen.id)

            // The search rules are checked on the model (tests/people); here, what the page shows.
            page.model.searchText = "zzz"
            compare(find(page, "searchField").text, "zzz")
            const empty = find(page, "emptyState")
            verify(empty.visible)
            compare(empty.text, "Нет друзей")
            verify(!find(page, "friendsList").visible)

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
            verify(find(page, "friendsList").visible)
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
            compare(find(row, "usernameText").visible, data.hasUsername)
            mouseClick(find(row, "menuButton"))
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
                const item = find(row, "sendMessageItem") || row.menu.itemAt(0)
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

        function find(item, name) { return findChild(item, name) }

        function rowTitle(page, i) { return find(find(page, "profileRow" + i), "rowTitle").text }

        function init() { LanguageManager.language = "ru" }

        function cleanupTestCase() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
        }

        function test_retryAfterAnError() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
            const page = createTemporaryObject(profileComponent, root)
            const error = find(page, "errorState")
            tryVerify(() => error.visible)
            compare(error.text, "Токен не найден")
            const retry = find(page, "retryButton")
            verify(retry.visible)
            compare(retry.text, "Повторить")
            verify(!find(page, "profileView").visible)

            verify(testServer.signIn())
            mouseClick(retry)
            tryVerify(() => find(page, "profileView").visible, 10000)
            verify(!error.visible)
            verify(find(page, "nameLine").text.length > 0)
            verify(find(page, "usernameLine").text.startsWith("@"))
            verify(find(page, "websiteButton").visible)
        }

        function test_languageRelabelsTheTableWithoutReloading() {
            verify(testServer.signIn())
            const page = createTemporaryObject(profileComponent, root)
            tryVerify(() => find(page, "profileView").visible, 10000)
            compare(rowTitle(page, 3), "Город")
            compare(find(page, "pageTitle").text, "Профиль")
            const value = find(find(page, "profileRow3"), "rowValue").text

            LanguageManager.language = "en"
            verify(!page.content.model.isLoading)
            verify(find(page, "profileView").visible)
            compare(rowTitle(page, 3), "City")
            compare(find(find(page, "profileRow3"), "rowValue").text, value)
            compare(find(page, "pageTitle").text, "Profile")
            compare(find(page, "logoutButton").text, "Logout")
            compare(find(page, "websiteButton").text, "Website")
            // Only the last row has no separator.
            verify(find(find(page, "profileRow4"), "separator").visible)
            verify(!find(find(page, "profileRow5"), "separator").visible)
        }

        function test_logoutSignsOutAtOnce() {
            verify(testServer.signIn())
            const page = createTemporaryObject(profileComponent, root)
            mouseClick(find(page, "logoutButton"))
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

        function find(item, name) { return findChild(item, name) }
        function sectionTitle(name) { return find(find(page, name), "sectionTitle").text }

        function init() {
            LanguageManager.language = "ru"
            ThemeManager.mode = "light"
            page = createTemporaryObject(settingsComponent, root)
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
