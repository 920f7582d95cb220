import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Dialogs
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Messaging.Composer
import Orvane.Session
import Orvane.Ui

// The open chat with one friend: header, the messages (following the newest), the attachment preview,
// the failed-send notice and the composer. The host makes a new ChatView for every friend.
Item {
    id: root

    // The friend: id, numericId, name, lastName, username, avatar, unreadCount.
    property var friend: ({})
    property var colors: AppColors.current
    property string language: LanguageManager.language
    property bool isSidebarCollapsed: false
    // Whether the header shows the sidebar toggle.
    property bool showSidebarToggle: true
    // Whether a call with this friend is under way (the call button turns red); bound by the host.
    property bool isCalling: false
    readonly property alias controller: chat

    signal toggleSidebar()
    signal callRequested(var friend)
    // The host's way to close the chat; no control of this view emits it.
    signal closed()
    // After every successful load of the messages.
    signal refreshNeeded()

    function tr(ru, en) { return language === "en" ? en : ru }
    // Page Up / Page Down scroll the messages whatever holds the focus; Ctrl+End returns to the newest.
    Shortcut {
        sequence: StandardKey.MoveToPreviousPage
        onActivated: messageList.scrollPage(-1)
    }
    Shortcut {
        sequence: StandardKey.MoveToNextPage
        onActivated: messageList.scrollPage(1)
    }
    Shortcut {
        sequence: "Ctrl+End"
        onActivated: {
            messageList.followsEnd = true
            messageList.showEnd()
        }
    }

    function displayName(f) {
        if (!f)
            return "Unknown"
        if (f.name !== undefined && f.name !== null)
            return (f.lastName ? f.name + " " + f.lastName : f.name)
        if (f.username !== undefined && f.username !== null)
            return f.username
        return "Unknown"
    }

    ChatController {
        id: chat
        objectName: "chatController"
        peer: root.friend || ({})
        language: root.language
        active: root.visible
        onFileDialogRequested: fileDialog.open()
        onMessagesLoaded: root.refreshNeeded()
    }

    SpellingCorrector {
        id: speller
        text: chat.newMessage
        language: root.language
        onFinished: (text, changed, notice) => {
            if (changed)
                chat.newMessage = text
            spellingNotice.show(notice)
        }
    }

    FileDialog {
        id: fileDialog
        objectName: "fileDialog"
        acceptLabel: tr("Прикрепить файл", "Attach file")
        fileMode: FileDialog.OpenFile
        onAccepted: chat.fileSelected(selectedFile)
        onRejected: chat.fileSelectionCancelled()
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ChatHeader {
            objectName: "chatHeader"
            Layout.fillWidth: true
            colors: root.colors
            language: root.language
            title: root.displayName(root.friend)
            showSidebarToggle: root.showSidebarToggle
            isSidebarCollapsed: root.isSidebarCollapsed
            isCalling: root.isCalling
            onToggleSidebar: root.toggleSidebar()
            onCallClicked: root.callRequested(root.friend)
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Spinner {
                objectName: "loadingIndicator"
                anchors.centerIn: parent
                size: 22
                visible: chat.isLoading && messageList.count === 0
                color: colors.mutedForeground
            }

            Column {
                objectName: "emptyState"
                anchors.centerIn: parent
                spacing: 8
                visible: !chat.isLoading && messageList.count === 0
                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "bubble.left.and.bubble.right"
                    size: 40
                    color: colors.mutedForeground
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tr("Нет сообщений", "No messages")
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    textFormat: Text.PlainText
                    font.pixelSize: 14
                    color: colors.foreground
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tr("Начните переписку!", "Start a conversation!")
                    Accessible.role: Accessible.StaticText
                    Accessible.name: text
                    textFormat: Text.PlainText
                    font.pixelSize: 13
                    color: colors.mutedForeground
                }
            }

            ListView {
                id: messageList
                objectName: "messageList"
                Accessible.role: Accessible.List
                activeFocusOnTab: true
                Accessible.name: tr("Сообщения", "Messages")
                function scrollPage(direction) {
                    scrollAnimation.stop()
                    contentY = Math.max(originY, Math.min(endY, contentY + direction * height * 0.9))
                }
                // Arriving by keyboard on a list that follows the end starts on the newest message;
                // ↑ / ↓ then walk the messages (a screen reader reads each).
                onActiveFocusChanged: if (activeFocus && followsEnd && count > 0) currentIndex = count - 1
                anchors { fill: parent; leftMargin: 16; rightMargin: 16 }
                visible: count > 0
                clip: true
                spacing: 8
                // Spacers rather than margins: positionViewAtEnd() then reaches the true end.
                header: Item { width: 1; height: 12 }
                footer: Item { width: 1; height: 12 }
                cacheBuffer: 800
                boundsBehavior: Flickable.StopAtBounds
                model: chat.messages
                delegate: MessageBubble {
                    width: ListView.view.width
                    colors: root.colors
                    language: root.language
                    senderName: root.displayName(root.friend)
                }

                // Whether the view keeps the newest message in sight. Only a scroll away from the end clears
                // it. Delegates that settle their height after the first layout (cards, wrapped text) and a pane
                // that shrinks (the attachment preview, a notice) move the end, not the member: the view follows.
                property bool followsEnd: true
                property bool repositioning: false
                // Where contentY stands at the end. A row that grows may move the origin instead of the height.
                readonly property real endY: originY + contentHeight - height
                property real previousEndY: 0
                function atEnd() { return contentY >= endY - 1 }
                function showEnd() {
                    repositioning = true
                    positionViewAtEnd()
                    // Rows the call itself created may settle their height within it, moving the end once more.
                    for (let i = 0; i < 3 && !atEnd(); ++i)
                        positionViewAtEnd()
                    repositioning = false
                }
                function keepEnd() {
                    if (followsEnd && !repositioning && !scrollAnimation.running && count > 0)
                        showEnd()
                }
                onContentYChanged: if (!repositioning && !scrollAnimation.running) followsEnd = atEnd()
                // Only a view still at the end it had follows: scrolling elsewhere moves the end as well (estimated
                // heights of rows coming into view) before contentY reports its own change.
                onEndYChanged: {
                    const wasAtEnd = contentY >= previousEndY - 1
                    previousEndY = endY
                    if (wasAtEnd)
                        keepEnd()
                }

                // First rows: jump to the end at once; later changes of the count glide there in 0.2 s.
                // A poll with as many messages as before leaves the view where it is.
                property int shownCount: 0
                function followNewest() {
                    if (count === 0) {
                        shownCount = 0
                        return
                    }
                    if (shownCount === 0) {
                        followsEnd = true
                        showEnd()
                    } else if (count !== shownCount) {
                        followsEnd = true
                        scrollAnimation.stop()
                        repositioning = true
                        const from = contentY
                        positionViewAtEnd()
                        const to = contentY
                        contentY = from
                        repositioning = false
                        scrollAnimation.from = from
                        scrollAnimation.to = to
                        scrollAnimation.start()
                    }
                    shownCount = count
                }
                onCountChanged: Qt.callLater(followNewest)

                NumberAnimation {
                    id: scrollAnimation
                    target: messageList
                    property: "contentY"
                    duration: 200
                    easing.type: Easing.OutQuad
                    // Rows that settled meanwhile moved the end the glide was aimed at.
                    onRunningChanged: if (!running) messageList.keepEnd()
                }
            }
        }

        SpellingNotice {
            id: spellingNotice
            objectName: "spellingNotice"
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 6
            colors: root.colors
        }

        Rectangle {
            objectName: "sendNotice"
            // Announced when it appears; activating it dismisses it.
            Accessible.role: Accessible.AlertMessage
            Accessible.name: chat.notice
            Accessible.onPressAction: chat.dismissNotice()
            Layout.alignment: Qt.AlignHCenter
            Layout.bottomMargin: 6
            visible: chat.notice.length > 0
            implicitWidth: noticeRow.implicitWidth + 24
            implicitHeight: 32
            radius: 16
            color: colors.card
            border.width: 1
            border.color: colors.border
            RowLayout {
                id: noticeRow
                anchors.centerIn: parent
                spacing: 6
                Icon { name: "exclamationmark.circle.fill"; size: 13; color: "#EF4444" }
                Text {
                    objectName: "sendNoticeText"
                    text: chat.notice
                    textFormat: Text.PlainText
                    font.pixelSize: 13
                    font.weight: Font.Medium
                    color: colors.foreground
                }
            }
            TapHandler { onTapped: chat.dismissNotice() }
        }

        AttachmentPreview {
            objectName: "attachmentPreview"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 6
            visible: chat.attachedFile !== null && chat.attachedFile !== undefined
            file: chat.attachedFile
            colors: root.colors
            language: root.language
            onRetry: chat.retryUpload()
            onRemove: chat.removeAttachment()
        }

        ChatComposerSlot {
            id: composer
            objectName: "composer"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 16
            message: chat.newMessage
            onMessageEdited: (text) => chat.newMessage = text
            attachedFile: chat.attachedFile
            colors: root.colors
            language: root.language
            isSending: chat.isSending
            onSend: chat.sendMessage()
            onSpellCheck: speller.check()
            onAttach: chat.attachFile()
            pasteHandler: () => chat.pasteFromClipboard()
        }
    }
    // A file dropped anywhere on the chat is attached as the attach button would.
    DropArea {
        id: dropArea
        objectName: "dropArea"
        anchors.fill: parent
        keys: ["text/uri-list"]
        onDropped: (drop) => {
            if (chat.attachDropped(drop.urls))
                drop.accept(Qt.CopyAction)
        }
        Rectangle {
            anchors { fill: parent; margins: 8 }
            visible: dropArea.containsDrag
            radius: 12
            color: Qt.rgba(0x3B / 255, 0x82 / 255, 0xF6 / 255, 0.08)
            border.width: 2
            border.color: "#3B82F6"
            Text {
                anchors.centerIn: parent
                text: tr("Отпустите, чтобы прикрепить файл", "Drop to attach the file")
                textFormat: Text.PlainText
                font.pixelSize: 15
                font.weight: Font.Medium
                color: "#3B82F6"
            }
        }
    }
}
