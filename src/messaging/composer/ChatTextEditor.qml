import QtQuick
import QtQuick.Controls.Basic
import Orvane.Messaging.Composer
import Orvane.Session

// The composer's editor: plain text that grows with its content from minHeight to maxHeight and
// scrolls inside beyond that. Enter asks to send (only when sending is possible), Shift+Enter breaks
// the line; a plain Enter never inserts a line break.
Item {
    id: root

    property string text
    property real minHeight: 36
    property real maxHeight: 150
    property real textEditorHeight: minHeight
    property var colors
    property bool canSend: false
    property bool isSending: false
    readonly property alias textArea: area
    // Called on Ctrl+V before the editor pastes; returning true means the host took the clipboard (a file,
    // an image). Otherwise the editor pastes, plain text only.
    property var pasteHandler: null

    // The user changed the text (typing, pasting, undo, a line break).
    signal edited(string text)
    signal sendRequested()

    implicitHeight: textEditorHeight

    function updateHeight() {
        const wanted = Math.max(minHeight, Math.min(maxHeight, area.contentHeight + area.topPadding + area.bottomPadding))
        if (Math.abs(wanted - textEditorHeight) > 1)
            textEditorHeight = wanted
    }

    function leave(event, forward) {
        const next = area.nextItemInFocusChain(forward)
        if (next)
            next.forceActiveFocus(forward ? Qt.TabFocusReason : Qt.BacktabFocusReason)
        event.accepted = true
    }

    function insertLineBreak() {
        if (area.selectionEnd > area.selectionStart)
            area.remove(area.selectionStart, area.selectionEnd)
        area.insert(area.cursorPosition, "\n")
    }

    // Outside changes: a send empties the editor together with its undo history, so undo cannot bring a
    // sent message back; anything else (a spelling correction, an emoji, a failed send given back) is one
    // undoable edit of the ranges that differ, leaving the caret and the selection with the text around them.
    onTextChanged: {
        if (area.text === text)
            return
        if (text.length === 0)
            area.text = ""
        else
            TextEdits.replace(area.textDocument, text)
    }

    // A click anywhere in the editor, also below a short text, focuses it.
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.IBeamCursor
        onPressed: (mouse) => { area.forceActiveFocus(); mouse.accepted = false }
    }

    Flickable {
        id: flick
        anchors.fill: parent
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        flickableDirection: Flickable.VerticalFlick

        TextArea.flickable: TextArea {
            id: area
            objectName: "composerTextArea"
            Accessible.name: LanguageManager.language === "en" ? "Message" : "Сообщение"
            Accessible.description: LanguageManager.language === "en" ? "Enter sends, Shift+Enter starts a new line"
                                                                       : "Enter — отправить, Shift+Enter — новая строка"
            textFormat: TextEdit.PlainText
            wrapMode: TextEdit.Wrap
            leftPadding: 12
            rightPadding: 12
            topPadding: 8
            bottomPadding: 8
            font.pixelSize: 14
            color: root.colors ? root.colors.foreground : "#18181b"
            selectionColor: Qt.rgba(0.23, 0.51, 0.96, 0.35)
            selectedTextColor: color
            selectByMouse: true
            persistentSelection: true
            background: null

            onTextChanged: if (text !== root.text) root.edited(text)
            onContentHeightChanged: root.updateHeight()
            // Tab leaves the editor (a keyboard user would otherwise be trapped in it); messages never need a tab.
            Keys.onTabPressed: (event) => root.leave(event, true)
            Keys.onBacktabPressed: (event) => root.leave(event, false)

            Keys.onPressed: (event) => {
                if (event.matches(StandardKey.Paste) && root.pasteHandler && root.pasteHandler()) {
                    event.accepted = true
                    return
                }
                if (event.key !== Qt.Key_Return && event.key !== Qt.Key_Enter)
                    return
                // The input method's own Enter commits what it is composing.
                if (area.inputMethodComposing)
                    return
                event.accepted = true
                if (event.modifiers & Qt.ShiftModifier)
                    root.insertLineBreak()
                else if (root.canSend && !root.isSending)
                    root.sendRequested()
            }
        }
    }

    Component.onCompleted: {
        area.text = text
        updateHeight()
    }
}
