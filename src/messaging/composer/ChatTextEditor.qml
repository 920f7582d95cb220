import QtQuick
import QtQuick.Controls.Basic

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

    // The user changed the text (typing, pasting, undo, a line break).
    signal edited(string text)
    signal sendRequested()

    implicitHeight: textEditorHeight

    function updateHeight() {
        const wanted = Math.max(minHeight, Math.min(maxHeight, area.contentHeight + area.topPadding + area.bottomPadding))
        if (Math.abs(wanted - textEditorHeight) > 1)
            textEditorHeight = wanted
    }

    function insertLineBreak() {
        if (area.selectionEnd > area.selectionStart)
            area.remove(area.selectionStart, area.selectionEnd)
        area.insert(area.cursorPosition, "\n")
    }

    // Outside changes (a send clearing the text, a spelling fix, an emoji) keep the caret and
    // selection where they were when they still fit the new text.
    onTextChanged: {
        if (area.text === text)
            return
        // An append (an emoji) is an edit like typing: it joins the undo history and leaves the caret alone.
        if (text.length > area.length && text.startsWith(area.text)) {
            area.insert(area.length, text.slice(area.length))
            return
        }
        const start = area.selectionStart
        const end = area.selectionEnd
        const cursor = area.cursorPosition
        area.text = text
        if (end <= area.length) {
            if (end > start)
                area.select(cursor === start ? end : start, cursor)
            else
                area.cursorPosition = cursor
        }
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

            Keys.onPressed: (event) => {
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
