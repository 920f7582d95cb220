import QtQuick
import Orvane.Shell
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People
import Orvane.Messaging
import Orvane.Calls

// The signed-in window: icon sidebar, the section's page, and the open chat in the messages section.
Item {
    id: view
    objectName: "authenticatedView"

    property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
    property string language: LanguageManager.language

    function tr(ru, en) { return language === "en" ? en : ru }

    MainNavigation { id: nav; objectName: "mainNavigation" }
    property alias navigation: nav

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
                    Text {
                        anchors.centerIn: parent
                        text: "T"
                        font.pixelSize: 18
                        font.bold: true
                        color: "black"
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
            visible: !messagesSection || !nav.isSidebarCollapsed
            Layout.preferredWidth: messagesSection ? 320 : -1
            Layout.fillWidth: !messagesSection
            Layout.fillHeight: true
            color: colors.background

            Loader {
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
