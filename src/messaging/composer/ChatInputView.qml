import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Messaging.Composer

// The chat's composer bar: the growing editor over a row of the spelling, attach and emoji buttons,
// the keyboard hint and the send button.
//
// `message` is the host's text: bind it and write back what messageEdited() reports, e.g.
//   ChatInputView { message: chat.newMessage; onMessageEdited: (text) => chat.newMessage = text }
// A host that does not write it back still sees `message` follow the editor.
Rectangle {
    id: root

    property string message
    // null, or { id, name, size, mimeType, localPath, downloadUrl, uploadStatus, uploadError }
    property var attachedFile: null
    property var colors: AppColors.current
    property string language: LanguageManager.language
    property bool isSending: false

    readonly property bool canSend: ComposerRules.canSend(message, attachedFile)
    readonly property real minHeight: 36
    readonly property real maxHeight: 150
    readonly property real textEditorHeight: editor.textEditorHeight
    readonly property alias editorItem: editor
    readonly property alias emojiButton: emojiButton
    // See ChatTextEditor.pasteHandler.
    property alias pasteHandler: editor.pasteHandler

    signal messageEdited(string text)
    signal send()
    signal spellCheck()
    signal attach()

    // Near-black marks a button that is "on"; on the dark palette that would vanish, so it takes the text colour.
    readonly property color activeIconColor: colors.isDark ? colors.foreground : "#171717"

    function tr(ru, en) { return language === "en" ? en : ru }

    function setMessage(text) {
        if (text === message)
            return
        messageEdited(text)
        if (message !== text)
            message = text
    }

    // An emoji goes to the end of the text, wherever the caret is.
    function appendEmoji(emoji) {
        setMessage(message + emoji)
    }

    function focusEditor() { editor.textArea.forceActiveFocus() }

    implicitHeight: column.implicitHeight
    radius: 12
    color: colors.card
    border.width: 1
    border.color: Qt.rgba(colors.border.r, colors.border.g, colors.border.b, 0.3)

    ColumnLayout {
        id: column
        anchors { left: parent.left; right: parent.right; top: parent.top }
        spacing: 0

        Item {
            Layout.fillWidth: true
            Layout.preferredHeight: editor.textEditorHeight

            ChatTextEditor {
                id: editor
                objectName: "composerEditor"
                anchors.fill: parent
                minHeight: root.minHeight
                maxHeight: root.maxHeight
                text: root.message
                colors: root.colors
                canSend: root.canSend
                isSending: root.isSending
                onEdited: (text) => root.setMessage(text)
                onSendRequested: root.send()
            }

            Text {
                objectName: "composerPlaceholder"
                // The editor carries this as its name.
                Accessible.ignored: true
                x: 12
                y: 8
                visible: root.message.length === 0
                text: root.tr("Сообщение...", "Message...")
                textFormat: Text.PlainText
                font.pixelSize: 14
                color: root.colors.mutedForeground
                enabled: false
            }
        }

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 6
            Layout.rightMargin: 8
            Layout.bottomMargin: 6
            spacing: 2

            ComposerIconButton {
                objectName: "spellCheckButton"
                iconName: "sparkles"
                iconColor: root.message.length > 0 ? "#8B5CF6" : root.colors.mutedForeground
                tooltip: root.tr("Проверить орфографию (AI)", "Check spelling (AI)")
                enabled: root.message.length > 0
                onClicked: root.spellCheck()
            }

            ComposerIconButton {
                objectName: "attachButton"
                iconName: "paperclip"
                iconColor: root.attachedFile ? root.activeIconColor : root.colors.mutedForeground
                tooltip: root.tr("Прикрепить файл", "Attach file")
                onClicked: root.attach()
            }

            EmojiPickerButton {
                id: emojiButton
                colors: root.colors
                language: root.language
                onEmojiPicked: (emoji) => root.appendEmoji(emoji)
            }

            Item { Layout.fillWidth: true }

            Text {
                objectName: "composerHint"
                Accessible.ignored: true
                text: root.tr("Shift+Enter — новая строка", "Shift+Enter — new line")
                textFormat: Text.PlainText
                font.pixelSize: 10
                color: root.colors.mutedForeground
                opacity: 0.6
                elide: Text.ElideRight
                Layout.rightMargin: 6
            }

            AbstractButton {
                id: sendButton
                objectName: "sendButton"
                implicitWidth: 32
                implicitHeight: 32
                padding: 0
                focusPolicy: Qt.TabFocus
                Accessible.name: root.tr("Отправить", "Send")
                Accessible.onPressAction: clicked()
                enabled: root.canSend && !root.isSending
                onClicked: root.send()
                FocusRing {}

                background: Rectangle {
                    radius: width / 2
                    color: sendButton.enabled ? "#171717" : root.colors.mutedForeground
                    opacity: sendButton.enabled ? 1 : 0.5
                }

                contentItem: Item {
                    Icon {
                        anchors.centerIn: parent
                        name: "paperplane.fill"
                        size: 14
                        color: "white"
                    }
                }
            }
        }
    }
}
