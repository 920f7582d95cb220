import QtQuick
import QtTest
import Orvane.Session
import Orvane.Messaging

Item {
    id: root
    width: 400; height: 700

    Component {
        id: listComponent
        MessagesListView {
            property var chosen: null
            property int friendsRequests: 0
            anchors.fill: parent
            colors: AppColors.light
            language: "ru"
            onConversationSelected: (conversation) => chosen = conversation
            onNavigateToFriends: friendsRequests++
        }
    }

    TestCase {
        name: "MessagesListView"
        when: windowShown

        property var view

        function cleanup() {
            verify(testServer.signIn())
        }

        function find(name) { return findChild(view, name) }

        function rowNamed(name) {
            const list = find("conversationList")
            for (let i = 0; i < list.count; ++i) {
                const item = list.itemAtIndex(i)
                if (item && item.displayName === name)
                    return item
            }
            return null
        }

        function waitRow(name) {
            tryVerify(() => rowNamed(name) !== null, 5000)
            return rowNamed(name)
        }

        function showList() {
            verify(testServer.signIn())
            view = createTemporaryObject(listComponent, root)
            verify(view)
            // The first load shows the loading state at once.
            verify(find("loadingState").visible)
            tryVerify(() => view.conversations.state === ConversationListModel.List, 10000)
            verify(find("conversationList").visible)
            verify(!find("loadingState").visible)
        }

        function test_loadsIntoRows() {
            showList()
            const list = find("conversationList")
            verify(list.count >= 6)
            const boris = waitRow("Борис Иванов")
            verify(findChild(boris, "timeText").text.length > 0)
            compare(findChild(boris, "previewText").font.italic, false)
            // Sofia is a friend without messages.
            const sofia = rowNamed("Софья Волкова")
            verify(sofia)
            compare(findChild(sofia, "previewText").text, "Нет сообщений")
            verify(findChild(sofia, "previewText").font.italic)
            verify(!findChild(sofia, "unreadBadge").visible)
        }

        // The search rules are checked on the model; here, a search without matches is an empty list,
        // not the empty state.
        function test_searchWithoutMatchesIsNoEmptyState() {
            showList()
            find("searchField").text = "nothing-like-this"
            tryCompare(find("conversationList"), "count", 0)
            verify(!find("emptyState").visible)
        }

        function test_rowTapHandsTheConversationToTheHost() {
            showList()
            const row = waitRow("Борис Иванов")
            mouseClick(row)
            verify(view.chosen)
            compare(view.chosen.participant.name, "Борис")
            verify(view.chosen.id.length > 0)
            verify(view.chosen.unreadCount !== undefined)
            compare(row.isSelected, false) // the host owns the selection
            view.selectedConversation = view.chosen
            verify(row.isSelected)
            mouseClick(find("newMessageButton"))
            compare(view.friendsRequests, 1)
        }

        function test_selectionByFriendId() {
            showList()
            const row = waitRow("John Carter")
            verify(!row.isSelected)
            view.selectedFriendId = row.participantId
            verify(row.isSelected)
            verify(!rowNamed("Борис Иванов").isSelected)
        }

        // Signed out: the error in the page's language; Retry after signing in shows the list.
        function test_errorStateAndRetry_data() {
            return [
                { tag: "ru", language: "ru", error: "Токен не найден", title: "Сообщения" },
                { tag: "en", language: "en", error: "Token not found", title: "Messages" },
            ]
        }

        function test_errorStateAndRetry(data) {
            AuthManager.logout()
            view = createTemporaryObject(listComponent, root, { language: data.language })
            tryVerify(() => find("errorState").visible, 10000)
            compare(find("errorText").text, data.error)
            compare(find("title").text, data.title)
            verify(!find("conversationList").visible)
            verify(testServer.signIn())
            mouseClick(find("retryButton"))
            tryVerify(() => find("conversationList").visible, 10000)
            verify(!find("errorState").visible)
        }
    }
}
