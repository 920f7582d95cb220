import QtQuick
import QtTest
import Orvane.Session
import Orvane.Shell

Item {
    id: root
    width: 1200; height: 800

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
