import QtQuick
import QtTest
import Orvane.Session
import Orvane.Shell

// The login screen, the application menu and the signed-in window.
Item {
    id: root
    width: 1200; height: 800

    Component {
        id: loginComponent
        LoginView {
            anchors.fill: parent
            colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
            language: LanguageManager.language
        }
    }

    TestCase {
        name: "LoginView"
        when: windowShown

        property var view

        function find(name) { return findChild(view, name) }

        function init() {
            LanguageManager.language = "ru"
            view = createTemporaryObject(loginComponent, root)
            verify(view)
        }

        function cleanup() {
            if (AuthManager.isAuthenticated)
                AuthManager.logout()
        }

        function test_buttonEnablingAndDimming() {
            const button = find("signInButton")
            compare(button.enabled, false)
            compare(button.opacity, 0.5)

            find("emailField").forceActiveFocus()
            keyClick("a"); keyClick("@"); keyClick("b")
            compare(view.email, "a@b")
            compare(button.enabled, false)
            compare(button.opacity, 0.5)

            view.password = "x"
            compare(button.enabled, true)
            compare(button.opacity, 1.0)
        }

        function test_eyeTogglesMaskingOnly() {
            view.password = "secret"
            const field = find("passwordField")
            const eye = find("eyeButton")
            compare(field.echoMode, TextInput.Password)
            compare(eye.iconName, "eye")
            mouseClick(eye)
            compare(field.echoMode, TextInput.Normal)
            compare(eye.iconName, "eye.slash")
            compare(field.text, "secret")
            mouseClick(eye)
            compare(field.echoMode, TextInput.Password)
            compare(view.password, "secret")
        }

        function test_languageSwitchRelabelsAndKeepsFields() {
            view.email = "anna@x.example"
            view.password = "pw"
            compare(find("loginTitle").text, "Вход в систему")
            LanguageManager.language = "en"
            compare(find("loginTitle").text, "Sign In")
            compare(find("passwordLabel").text, "Password")
            compare(find("forgotLink").text, "Forgot password?")
            compare(find("registerButton").text, "Sign Up")
            compare(view.email, "anna@x.example")
            compare(view.password, "pw")
            compare(find("emailField").text, "anna@x.example")
        }

        function test_links() {
            mouseClick(find("forgotLink"))
            verify(AppInfo.lastOpenedUrl.toString().endsWith("/forgot-password"))
            mouseClick(find("registerButton"))
            verify(AppInfo.lastOpenedUrl.toString().endsWith("/register"))
        }

        function test_enterWithEmptyFieldsAttemptsSignIn() {
            verify(testServer.up, "reference server")
            find("emailField").forceActiveFocus()
            keyClick(Qt.Key_Return)
            tryVerify(() => AuthManager.error.length > 0, 10000)
            const line = find("errorLine")
            verify(line.visible)
            compare(line.text, AuthManager.error)
            // The error stays while the member edits.
            view.email = "someone@x.example"
            verify(line.visible)
        }

        function test_signInShowsProgressThenSucceeds() {
            verify(testServer.up, "reference server")
            view.email = testServer.email
            view.password = testServer.password
            const button = find("signInButton")
            mouseClick(button)
            if (AuthManager.isLoading) {
                compare(button.enabled, false)
                compare(button.opacity, 1.0)
                verify(find("signInSpinner").visible)
            }
            tryVerify(() => AuthManager.isAuthenticated, 10000)
            compare(AuthManager.error, "")
        }
    }

    // The main window's application menu and About window are built on first use, then work as a menu should.
    TestCase {
        name: "ApplicationMenu"
        when: windowShown

        function test_menuOpensAboutAndNoNewWindow() {
            const component = Qt.createComponent("qrc:/qt/qml/Orvane/Shell/Main.qml")
            compare(component.status, Component.Ready, component.errorString())
            const window = createTemporaryObject(component, null)
            verify(window)
            const menu = findChild(window.menuBar, "appMenu")
            compare(menu.item, null)
            mouseClick(findChild(window.menuBar, "appMenuButton"))
            tryVerify(() => menu.item && menu.item.opened)
            compare(menu.item.count, 3)
            compare(menu.item.itemAt(0).text, "О приложении TheOrvane Команды")
            compare(menu.item.itemAt(2).text, LanguageManager.language === "en" ? "Quit" : "Выход")
            const about = findChild(window, "aboutLoader")
            verify(about)
            mouseClick(menu.item.itemAt(0))
            tryVerify(() => about.item && about.item.visible)
            about.item.close()
            tryVerify(() => about.item === null)
        }
    }

    Component {
        id: windowComponent
        AuthenticatedView {
            anchors.fill: parent
            colors: AppColors.light
            language: LanguageManager.language
        }
    }

    Component {
        id: buttonComponent
        SidebarMenuItemButton {
            item: MainNavigation.Messages
            isSelected: false
            colors: AppColors.light
            language: "ru"
        }
    }

    TestCase {
        name: "AuthenticatedView"
        when: windowShown

        property var view

        function find(name) { return findChild(view, name) }

        function init() {
            LanguageManager.language = "ru"
            view = createTemporaryObject(windowComponent, root)
            verify(view)
        }

        function test_badge_data() {
            return [
                { tag: "none", count: 0, visible: false, text: "" },
                { tag: "seven", count: 7, visible: true, text: "7" },
                { tag: "capped", count: 250, visible: true, text: "99" },
            ]
        }

        function test_badge(data) {
            const button = createTemporaryObject(buttonComponent, root, { badgeCount: data.count })
            const badge = findChild(button, "badge")
            compare(badge.visible, data.visible)
            compare(findChild(button, "badgeLabel").text, data.text)
        }

        function test_sectionSwitching() {
            const nav = view.navigation
            const chat = find("chatLoader")
            compare(chat.item.objectName, "chatPlaceholder")

            nav.selectConversation({ id: "c1", unreadCount: 0, participant: { id: "u1", name: "Anna" } })
            compare(chat.item.objectName, "chatPane")

            // Messages again keeps the chat.
            mouseClick(find("sidebarButton0"))
            compare(chat.item.objectName, "chatPane")

            // Another section and back shows the placeholder.
            mouseClick(find("sidebarButton1"))
            compare(nav.selectedMenuItem, MainNavigation.Friends)
            verify(!find("rightColumn").visible)
            mouseClick(find("sidebarButton0"))
            compare(chat.item.objectName, "chatPlaceholder")
        }

        function test_avatarOpensProfileWithRing() {
            const ring = find("profileRing")
            verify(!ring.visible)
            mouseClick(find("avatarButton"))
            compare(view.navigation.selectedMenuItem, MainNavigation.Profile)
            verify(ring.visible)
        }

        function test_collapsedMiddleColumn() {
            const middle = find("middleColumn")
            const wasCollapsed = view.navigation.isSidebarCollapsed
            if (wasCollapsed)
                view.navigation.toggleSidebar()
            verify(middle.visible)
            compare(middle.width, 320)
            view.navigation.toggleSidebar()
            verify(!middle.visible)
            // Other sections show their page whatever the collapsed state.
            mouseClick(find("sidebarButton2"))
            verify(middle.visible)
            view.navigation.toggleSidebar()
        }

        function test_placeholderFollowsLanguage() {
            const chat = find("chatLoader")
            LanguageManager.language = "en"
            compare(chat.item.caption, "Select a chat")
            LanguageManager.language = "ru"
            compare(chat.item.caption, "Выберите чат")
        }
    }
}
