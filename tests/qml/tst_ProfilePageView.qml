import QtQuick
import QtTest
import Orvane.Session
import Orvane.People

Item {
    id: root
    width: 900; height: 700

    Component {
        id: pageComponent
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
            const page = createTemporaryObject(pageComponent, root)
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
            const page = createTemporaryObject(pageComponent, root)
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
            const page = createTemporaryObject(pageComponent, root)
            mouseClick(find(page, "logoutButton"))
            verify(!AuthManager.isAuthenticated)
            verify(!AuthManager.currentUser)
        }
    }
}
