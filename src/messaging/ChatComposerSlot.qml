import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// The place of the composer in the chat. A plain editor with attach and send buttons stands in until the
// full composer (spelling, emoji) is wired in here; the surface is the same.
Rectangle {
    id: slot

    property string message
    property var attachedFile: null
    property var colors: AppColors.current
    property string language: LanguageManager.language
    property bool isSending: false

    signal send()
    signal spellCheck()
    signal attach()

    function tr(ru, en) { return language === "en" ? en : ru }

    readonly property bool hasText: message.trim().length > 0
    readonly property bool canSend: {
        if (!attachedFile)
            return hasText
        switch (attachedFile.uploadStatus) {
        case "failed": return false
        case "uploaded":
        case "uploading": return true
        default: return hasText
        }
    }

    onMessageChanged: if (editor.text !== message) editor.text = message

    implicitHeight: column.implicitHeight + 16
    radius: 12
    color: colors.background
    border.width: 1
    border.color: colors.border

    ColumnLayout {
        id: column
        anchors { fill: parent; margins: 8 }
        spacing: 4

        ScrollView {
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(150, Math.max(36, editor.implicitHeight))
            TextArea {
                id: editor
                objectName: "composerEditor"
                onTextChanged: if (slot.message !== text) slot.message = text
                wrapMode: TextEdit.Wrap
                placeholderText: tr("Сообщение...", "Message...")
                placeholderTextColor: colors.mutedForeground
                color: colors.foreground
                font.pixelSize: 14
                background: null
                // Enter sends, Shift+Enter breaks the line; a plain Enter never inserts a break.
                function handleReturn(event) {
                    if (event.modifiers & Qt.ShiftModifier)
                        editor.insert(editor.cursorPosition, "\n")
                    else if (slot.canSend && !slot.isSending)
                        slot.send()
                    event.accepted = true
                }
                Keys.onReturnPressed: (event) => handleReturn(event)
                Keys.onEnterPressed: (event) => handleReturn(event)
            }
        }

        RowLayout {
            Layout.fillWidth: true
            spacing: 4

            Item {
                objectName: "attachButton"
                implicitWidth: 32
                implicitHeight: 32
                Icon {
                    anchors.centerIn: parent
                    name: "paperclip"
                    size: 16
                    color: slot.attachedFile ? "#171717" : colors.mutedForeground
                }
                HoverHandler { id: attachHover; cursorShape: Qt.PointingHandCursor }
                TapHandler { onTapped: slot.attach() }
                ToolTip.visible: attachHover.hovered
                ToolTip.delay: 600
                ToolTip.text: tr("Прикрепить файл", "Attach file")
            }
            Item { Layout.fillWidth: true }
            Text {
                text: tr("Shift+Enter — новая строка", "Shift+Enter — new line")
                font.pixelSize: 10
                color: colors.mutedForeground
                opacity: 0.6
            }
            Rectangle {
                objectName: "sendButton"
                readonly property bool enabledState: slot.canSend && !slot.isSending
                implicitWidth: 32
                implicitHeight: 32
                radius: 16
                color: enabledState ? "#171717" : colors.mutedForeground
                opacity: enabledState ? 1 : 0.5
                Icon {
                    anchors.centerIn: parent
                    name: "paperplane.fill"
                    size: 14
                    color: "white"
                }
                TapHandler { enabled: parent.enabledState; onTapped: slot.send() }
            }
        }
    }
}
