import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People

// The friends section: a search field and the member's friends, each with chat, call and a menu.
// The friends are loaded each time the page is shown; the page never refreshes by itself.
Item {
    id: view

    property var colors: AppColors.current
    property string language: LanguageManager.language
    readonly property alias model: friends

    // Open the chat with this friend (a map: id, numericId, name, lastName, username, avatar, unreadCount).
    signal friendSelected(var friendEntry)
    // Start a voice call to this friend; the host owns the call windows.
    signal callRequested(var friendEntry)

    function tr(ru, en) { return language === "en" ? en : ru }
    // Ctrl+F / Ctrl+K of the signed-in window.
    function focusSearch() {
        searchField.forceActiveFocus(Qt.ShortcutFocusReason)
        searchField.selectAll()
    }

    FriendsListModel { id: friends }

    Component.onCompleted: if (visible) friends.load()
    onVisibleChanged: visible ? friends.load() : friends.cancel()

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        PageHeader {
            Layout.fillWidth: true
            colors: view.colors
            title: tr("Друзья", "Friends")
        }

        Rectangle {
            objectName: "searchBar"
            Layout.fillWidth: true
            Layout.margins: 12
            Layout.preferredHeight: 36
            radius: 8
            color: view.colors.isDark ? Qt.rgba(1, 1, 1, 0.05) : view.colors.card
            border.width: 1
            border.color: searchField.activeFocus ? view.colors.ring : view.colors.border

            RowLayout {
                anchors { fill: parent; leftMargin: 10; rightMargin: 6 }
                spacing: 6
                Icon {
                    name: "magnifyingglass"
                    size: 16
                    color: view.colors.mutedForeground
                }
                TextField {
                    id: searchField
                    objectName: "searchField"
                    Accessible.name: tr("Поиск друзей", "Search friends")
                    Accessible.searchEdit: true
                    KeyNavigation.down: list
                    Layout.fillWidth: true
                    text: friends.searchText
                    onTextEdited: friends.searchText = text
                    placeholderText: tr("Введите текст для поиска", "Enter text to search")
                    placeholderTextColor: view.colors.mutedForeground
                    color: view.colors.foreground
                    selectByMouse: true
                    font.pixelSize: 13
                    leftPadding: 0
                    background: null
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            StateMessage {
                objectName: "loadingState"
                anchors.fill: parent
                visible: friends.state === FriendsListModel.Loading
                colors: view.colors
                busy: true
                text: tr("Загрузка...", "Loading...")
            }

            StateMessage {
                objectName: "errorState"
                anchors.fill: parent
                visible: friends.state === FriendsListModel.Error
                colors: view.colors
                symbol: "exclamationmark.triangle"
                symbolColor: "#F97316"
                text: friends.errorMessage
            }

            StateMessage {
                objectName: "emptyState"
                anchors.fill: parent
                visible: friends.state === FriendsListModel.Empty
                colors: view.colors
                symbol: "person.2"
                symbolSize: 40
                text: tr("Нет друзей", "No friends")
            }

            ListView {
                id: list
                objectName: "friendsList"
                Accessible.role: Accessible.List
                activeFocusOnTab: true
                Accessible.name: tr("Друзья", "Friends")
                // Arriving by keyboard puts the focus on a row, not on the bare list.
                onActiveFocusChanged: if (activeFocus && currentIndex < 0 && count > 0) currentIndex = 0
                anchors.fill: parent
                visible: friends.state === FriendsListModel.List
                clip: true
                model: friends
                boundsBehavior: Flickable.StopAtBounds
                delegate: FriendRow {
                    width: ListView.view.width
                    colors: view.colors
                    language: view.language
                    isLast: index === ListView.view.count - 1
                    onChat: view.friendSelected(friendEntry)
                    onCall: view.callRequested(friendEntry)
                }
            }
        }
    }
}
