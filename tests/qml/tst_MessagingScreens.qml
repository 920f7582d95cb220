import QtQuick
import QtTest
import Orvane.Session
import Orvane.Messaging

// The conversation list and the open chat.
Item {
    id: root
    width: 700; height: 700

    ConversationListModel { id: conversations }

    Component {
        id: chatComponent
        ChatView {
            property var callFor: null
            property int sidebarToggles: 0
            anchors.fill: parent
            colors: AppColors.light
            language: "ru"
            onCallRequested: (f) => callFor = f
            onToggleSidebar: sidebarToggles++
        }
    }

    Component {
        id: bubbleComponent
        MessageBubble {
            width: 500
            messageId: "m1"
            isMine: true
            isRead: false
            time: "09:05"
            cardKind: ""
            cardUrl: ""
            cardName: ""
            cardIcon: "doc"
            bodyText: ""
            thumbnailUrl: ""
            colors: AppColors.light
            language: "ru"
        }
    }

    Component {
        id: previewComponent
        AttachmentPreview {
            width: 500
            colors: AppColors.light
            language: "ru"
        }
    }

    TestCase {
        name: "ChatView"
        when: windowShown

        property var view
        property var boris: null

        function initTestCase() {
            verify(testServer.signIn())
            conversations.reload()
            tryVerify(() => conversations.state === ConversationListModel.List, 10000)
            for (let i = 0; i < conversations.count; ++i) {
                const c = conversations.conversationAt(i)
                if (c.participant.username === "boris")
                    boris = c.participant
            }
            verify(boris)
        }

        function find(name) { return findChild(view, name) }

        function openChat() {
            verify(testServer.signIn()) // a test before may have signed out
            view = createTemporaryObject(chatComponent, root, { friend: boris })
            verify(view)
            tryVerify(() => !view.controller.isLoading && find("messageList").count > 0, 10000)
            return find("messageList")
        }

        function test_headerShowsNameAndActions() {
            openChat()
            compare(find("friendName").text, "Борис Иванов")
            mouseClick(find("callButton"))
            verify(view.callFor)
            compare(view.callFor.id, boris.id)
            mouseClick(find("sidebarToggle"))
            compare(view.sidebarToggles, 1)
            compare(find("fileDialog").acceptLabel, "Прикрепить файл")
        }

        function lastMessageInSight(list) {
            const last = list.itemAtIndex(list.count - 1)
            return last !== null && last.y >= list.contentY - 0.5
                && last.y + last.height <= list.contentY + list.height + 0.5
        }

        // The newest message is a download card, whose row settles its height after the first layout: the
        // chat still opens with all of it in sight, and keeps the end there when the pane shrinks or grows
        // or a card is sent.
        function test_opensAtTheNewestMessage() {
            let list = openChat()
            view.controller.newMessage = "Отчёт: https://content.theorvane.example/files/1733480000-ab12cd-report.pdf"
            view.controller.sendMessage()
            tryCompare(list, "count", list.count + 1, 10000)
            view.destroy()
            list = openChat()
            compare(list.itemAtIndex(list.count - 1).cardKind, "download")
            tryVerify(() => lastMessageInSight(list), 3000)
            wait(100)
            verify(lastMessageInSight(list))

            // The attachment preview takes room from the list: the card stays above it.
            view.controller.fileSelected(Qt.resolvedUrl("tst_MessagingScreens.qml"))
            tryVerify(() => find("attachmentPreview").visible, 5000)
            tryVerify(() => lastMessageInSight(list), 3000)
            view.controller.removeAttachment()

            // A card sent with Enter in the composer, even from the top: the composer empties and the
            // card is shown whole at the end.
            list.positionViewAtBeginning()
            verify(!list.atYEnd)
            const composer = find("composer")
            composer.focusEditor()
            tryVerify(() => composer.editorItem.textArea.activeFocus)
            const link = "https://content.theorvane.example/files/1733480001-cd34ef-plan.pdf"
            for (const c of link)
                keyClick(c)
            compare(view.controller.newMessage, link)
            const before = list.count
            keyClick(Qt.Key_Return)
            tryCompare(list, "count", before + 1, 10000)
            compare(view.controller.newMessage, "")
            compare(composer.message, "")
            tryVerify(() => lastMessageInSight(list) && !list.moving, 3000)
            wait(300)
            verify(lastMessageInSight(list))
        }

        // A poll with the same messages keeps the position and every delegate.
        function test_unchangedPollKeepsViewAndDelegates() {
            const list = openChat()
            tryVerify(() => list.atYEnd, 5000)
            list.positionViewAtBeginning()
            const y = list.contentY
            const first = list.itemAtIndex(0)
            verify(first)
            const loads = view.controller.messages.count
            view.controller.refresh()
            const spy = signalSpy.createObject(root, { target: view.controller, signalName: "loadFinished" })
            spy.wait(10000)
            compare(view.controller.messages.count, loads)
            compare(list.contentY, y)
            verify(list.itemAtIndex(0) === first)
        }

        // The spelling button corrects the text and says so (undoing an outside change is tst_Composer's).
        function test_spellingCorrectionUndoes() {
            openChat()
            const composer = find("composer")
            view.controller.newMessage = "привет ,как дела"
            mouseClick(findChild(composer, "spellCheckButton"))
            tryCompare(view.controller, "newMessage", "Привет, как дела.", 10000)
            tryCompare(find("spellingNotice"), "text", "Орфография исправлена")
        }

        function test_failedSendNotice() {
            const list = openChat()
            AuthManager.logout()
            view.controller.newMessage = "не уйдёт"
            view.controller.sendMessage()
            tryVerify(() => find("sendNotice").visible, 5000)
            compare(find("sendNoticeText").text, "Не удалось отправить сообщение")
            compare(view.controller.newMessage, "не уйдёт")
            verify(!view.controller.isSending)
        }

        function test_bubbleKinds_data() {
            return [
                { tag: "text, mine, unread", props: { bodyText: "Привет" }, text: true, download: false, unavailable: false, readIcon: "checkmark" },
                { tag: "read", props: { bodyText: "x", isRead: true }, text: true, download: false, unavailable: false, readIcon: "checkmark.circle.fill" },
                // The start is shown, never half a surrogate pair; the rest on request.
                { tag: "long", props: { bodyText: "x".repeat(3999) + "😀" + "y".repeat(1000) }, text: true, download: false, unavailable: false, readIcon: "checkmark" },
                { tag: "friend's has no mark", props: { bodyText: "x", isMine: false }, text: true, download: false, unavailable: false, readIcon: "" },
                { tag: "download card", props: { cardKind: "download", cardUrl: "https://content.theorvane.example/files/1-2-a.pdf", cardName: "a.pdf" }, text: false, download: true, unavailable: false, readIcon: "checkmark" },
                { tag: "unavailable card", props: { cardKind: "unavailable", cardName: "report.pdf", isMine: false }, text: false, download: false, unavailable: true, readIcon: "" },
            ]
        }
        function test_bubbleKinds(data) {
            const bubble = createTemporaryObject(bubbleComponent, root, data.props)
            verify(bubble)
            compare(findChild(bubble, "messageText").visible, data.text)
            compare(findChild(bubble, "downloadCard").visible, data.download)
            compare(findChild(bubble, "unavailableCard").visible, data.unavailable)
            const mark = findChild(bubble, "readMark")
            compare(mark.visible, data.readIcon.length > 0)
            if (data.readIcon.length > 0)
                compare(mark.name, data.readIcon)
            compare(findChild(bubble, "timeText").text, "09:05")
            if (data.text) {
                const text = findChild(bubble, "messageText")
                verify(text.selectByMouse && text.readOnly)
                const more = findChild(bubble, "showMoreButton")
                compare(more !== null, data.props.bodyText.length > 4000)
                if (more) {
                    compare(text.text, "x".repeat(3999))
                    more.forceActiveFocus()
                    keyClick(Qt.Key_Space)
                    verify(text.activeFocus)
                }
                text.selectAll()
                compare(text.selectedText, data.props.bodyText)
            }
            if (data.download) {
                mouseClick(findChild(bubble, "downloadCard"))
                compare(LinkOpener.lastOpenedUrl.toString(), data.props.cardUrl)
                compare(findChild(findChild(bubble, "downloadCard"), "cardName").text, data.props.cardName)
            }
            const box = findChild(bubble, "bubbleBox")
            if (bubble.isMine)
                compare(box.x + box.width, bubble.width)
            else
                compare(box.x, 0)
        }

        function test_attachmentPreview_data() {
            const base = { id: "1", name: "plan.pdf", size: 1200000, mimeType: "application/pdf", icon: "doc.text" }
            return [
                { tag: "uploading", file: Object.assign({}, base, { uploadStatus: "uploading" }), mark: "uploadingMark", details: "1.2 MB • Загрузка...", retry: false },
                { tag: "uploaded", file: Object.assign({}, base, { uploadStatus: "uploaded" }), mark: "uploadedMark", details: "1.2 MB • Готово", retry: false },
                { tag: "failed", file: Object.assign({}, base, { uploadStatus: "failed", uploadError: "Файл слишком большой (макс. 10 МБ)" }), mark: "failedMark", details: "1.2 MB • Файл слишком большой (макс. 10 МБ)", retry: true },
                { tag: "failed without reason", file: Object.assign({}, base, { uploadStatus: "failed" }), mark: "failedMark", details: "1.2 MB • Ошибка", retry: true },
                { tag: "pending", file: Object.assign({}, base, { uploadStatus: "pending" }), mark: "pendingMark", details: "1.2 MB", retry: false },
            ]
        }
        function test_attachmentPreview(data) {
            const preview = createTemporaryObject(previewComponent, root, { file: data.file })
            for (const mark of ["uploadingMark", "uploadedMark", "failedMark", "pendingMark"])
                compare(findChild(preview, mark).visible, mark === data.mark, mark)
            compare(findChild(preview, "fileName").text, "plan.pdf")
            compare(findChild(preview, "fileDetails").text, data.details)
            compare(findChild(preview, "retryButton").visible, data.retry)
            verify(findChild(preview, "removeButton").visible)
        }
    }

    Component {
        id: signalSpy
        SignalSpy {}
    }

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

        function test_loadsIntoRowsThenSearches() {
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

            // The search rules are checked on the model; here, a search without matches is an empty list,
            // not the empty state.
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
