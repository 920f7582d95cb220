import QtQuick
import Orvane.Shell
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People
import Orvane.Messaging
import Orvane.Calls
import Orvane.Desktop

// The signed-in window: icon sidebar, the section's page, and the open chat in the messages section.
Item {
    id: view
    objectName: "authenticatedView"

    property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
    property string language: LanguageManager.language

    function tr(ru, en) { return language === "en" ? en : ru }

    MainNavigation { id: nav; objectName: "mainNavigation" }
    property alias navigation: nav
    // Keyboard: Alt+1…4 choose a section; Ctrl+F and Ctrl+K go to the search of the messages or friends page.
    Repeater {
        model: [MainNavigation.Messages, MainNavigation.Friends, MainNavigation.Settings, MainNavigation.Profile]
        Item {
            required property int modelData
            required property int index
            Shortcut {
                sequence: "Alt+" + (index + 1)
                onActivated: nav.selectSection(modelData)
            }
        }
    }
    Shortcut {
        sequences: ["Ctrl+F", "Ctrl+K"]
        onActivated: {
            if (nav.selectedMenuItem !== MainNavigation.Friends)
                nav.selectSection(MainNavigation.Messages)
            if (pageLoader.item && pageLoader.item.focusSearch)
                pageLoader.item.focusSearch()
        }
    }

    // Notifications, the tray and close-to-tray, from this window's first frame on.
    readonly property var hostWindow: Window.window
    onHostWindowChanged: if (hostWindow) DesktopIntegration.start(hostWindow)
    Binding { target: DesktopIntegration; property: "openChatId"; value: nav.chatFriend.id || "" }
    Connections {
        target: DesktopIntegration
        function onOpenChatRequested(conversation) {
            nav.selectSection(MainNavigation.Messages)
            nav.selectConversation(conversation)
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Rectangle {
            objectName: "sidebar"
            Layout.preferredWidth: 60
            Layout.fillHeight: true
            color: colors.secondary

            ColumnLayout {
                anchors { fill: parent; topMargin: 12; bottomMargin: 12 }
                spacing: 8

                Rectangle {
                    objectName: "logo"
                    Layout.alignment: Qt.AlignHCenter
                    Layout.bottomMargin: 8
                    width: 40; height: 40; radius: 10
                    color: "#FCD34D"
                    Accessible.ignored: true
                    Text {
                        anchors.centerIn: parent
                        text: "T"
                        textFormat: Text.PlainText
                        font.pixelSize: 18
                        font.bold: true
                        color: "black"
                        Accessible.ignored: true
                    }
                }

                Repeater {
                    model: [MainNavigation.Messages, MainNavigation.Friends, MainNavigation.Settings, MainNavigation.Profile]
                    delegate: SidebarMenuItemButton {
                        required property int modelData
                        objectName: "sidebarButton" + modelData
                        Layout.alignment: Qt.AlignHCenter
                        item: modelData
                        isSelected: nav.selectedMenuItem === modelData
                        badgeCount: modelData === MainNavigation.Messages ? AuthManager.unreadCount : 0
                        colors: view.colors
                        language: view.language
                        onAction: nav.selectSection(modelData)
                    }
                }

                Item { Layout.fillHeight: true }

                Item {
                    objectName: "avatarButton"
                    activeFocusOnTab: true
                    Accessible.role: Accessible.Button
                    Accessible.name: tr("Мой профиль", "My profile")
                    Accessible.onPressAction: nav.openProfile()
                    Keys.onSpacePressed: nav.openProfile()
                    Keys.onReturnPressed: nav.openProfile()
                    FocusRing { radius: 20 + offset }
                    Layout.alignment: Qt.AlignHCenter
                    width: 40; height: 40

                    Avatar {
                        anchors.centerIn: parent
                        size: 36
                        source: AuthManager.currentUser ? (AuthManager.currentUser.avatarURL || "") : ""
                        colors: view.colors
                    }
                    Rectangle {
                        objectName: "profileRing"
                        anchors.centerIn: parent
                        width: 40; height: 40; radius: 20
                        color: "transparent"
                        border.width: 2
                        border.color: "#FCD34D"
                        visible: nav.selectedMenuItem === MainNavigation.Profile
                    }
                    HoverHandler { cursorShape: Qt.PointingHandCursor }
                    TapHandler { onTapped: nav.openProfile() }
                }
            }
        }

        Rectangle {
            objectName: "middleColumn"
            readonly property bool messagesSection: nav.selectedMenuItem === MainNavigation.Messages
            Layout.topMargin: connectionBanner.height
            visible: !messagesSection || !nav.isSidebarCollapsed
            Layout.preferredWidth: messagesSection ? 320 : -1
            Layout.fillWidth: !messagesSection
            Layout.fillHeight: true
            color: colors.background

            Loader {
                id: pageLoader
                objectName: "pageLoader"
                anchors.fill: parent
                sourceComponent: {
                    switch (nav.selectedMenuItem) {
                    case MainNavigation.Messages: return messagesPage
                    case MainNavigation.Friends: return friendsPage
                    case MainNavigation.Settings: return settingsPage
                    default: return profilePage
                    }
                }
            }
            Rectangle {
                visible: parent.messagesSection
                anchors { right: parent.right; top: parent.top; bottom: parent.bottom }
                width: 1
                color: colors.border
            }
        }

        Rectangle {
            objectName: "rightColumn"
            Layout.topMargin: connectionBanner.height
            visible: nav.selectedMenuItem === MainNavigation.Messages
            Layout.fillWidth: true
            Layout.fillHeight: true
            color: colors.background

            Loader {
                id: chatLoader
                objectName: "chatLoader"
                anchors.fill: parent
                // A new friend id means a new chat with fresh state.
                readonly property string friendId: nav.chatFriend.id || ""
                sourceComponent: friendId.length > 0 ? chatPane : chatPlaceholder
                onFriendIdChanged: if (friendId.length > 0) { active = false; active = true }
            }
        }
    }

    // Above the section page and the chat while the server cannot be reached.
    ConnectionBanner {
        id: connectionBanner
        objectName: "connectionBanner"
        anchors { left: parent.left; right: parent.right; top: parent.top; leftMargin: 60 }
        colors: view.colors
        language: view.language
    }

    Component {
        id: chatPlaceholder
        SectionPlaceholder {
            objectName: "chatPlaceholder"
            colors: view.colors
            caption: tr("Выберите чат", "Select a chat")
        }
    }
    Component {
        id: chatPane
        ChatView {
            objectName: "chatPane"
            friend: nav.chatFriend
            colors: view.colors
            language: view.language
            isSidebarCollapsed: nav.isSidebarCollapsed
            // Red while that friend's call is connecting, ringing or on, not after it ended.
            isCalling: CallStateManager.activeCallFriendId === (nav.chatFriend.id || "")
                       && (CallStateManager.callState === CallStateManager.Connecting
                           || CallStateManager.callState === CallStateManager.Ringing
                           || CallStateManager.callState === CallStateManager.Active)
            onToggleSidebar: nav.toggleSidebar()
            onCallRequested: (friendEntry) => CallWindows.startCall(friendEntry)
            Component.onCompleted: CallWindows.prepareForCalls()
            onClosed: nav.selectedConversation.id ? nav.closeConversation() : nav.closeFriendChat()
        }
    }
    Component {
        id: messagesPage
        MessagesListView {
            objectName: "messagesPage"
            colors: view.colors
            language: view.language
            selectedConversation: nav.selectedConversation
            selectedFriendId: nav.selectedFriendId
            onConversationSelected: (conversation) => nav.selectConversation(conversation)
            onNavigateToFriends: nav.navigateToFriends()
        }
    }
    Component {
        id: friendsPage
        FriendsListView {
            objectName: "friendsPage"
            colors: view.colors
            language: view.language
            onFriendSelected: (friendEntry) => nav.selectFriend(friendEntry)
            onCallRequested: (friendEntry) => CallWindows.startCall(friendEntry)
            Component.onCompleted: CallWindows.prepareForCalls()
        }
    }
    Component {
        id: settingsPage
        SettingsPageView {
            objectName: "settingsPage"
            colors: view.colors
            language: view.language
        }
    }
    Component {
        id: profilePage
        ProfilePageView {
            objectName: "profilePage"
            colors: view.colors
            language: view.language
        }
    }
}
