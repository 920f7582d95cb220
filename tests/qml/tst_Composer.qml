import QtQuick
import QtTest
import Orvane.Session
import Orvane.Messaging.Composer

Item {
    id: root
    width: 640; height: 600

    // The composer as the chat view hosts it: the host keeps the text and writes back every edit; its
    // emoji picker opens above it.
    Component {
        id: composerComponent
        ChatInputView {
            property string hostText: ""
            property int sends: 0
            property int spellChecks: 0
            property int attaches: 0
            y: 400
            width: 500
            colors: AppColors.light
            language: "ru"
            message: hostText
            onMessageEdited: (text) => hostText = text
            onSend: sends++
            onSpellCheck: spellChecks++
            onAttach: attaches++
        }
    }

    TestCase {
        name: "Composer"
        when: windowShown

        property var composer

        function init() {
            composer = createTemporaryObject(composerComponent, root)
            verify(composer)
            composer.focusEditor()
            tryVerify(() => composer.editorItem.textArea.activeFocus)
        }

        function type(text) {
            for (const c of text)
                keyClick(c)
        }

        function shiftEnter() { keyClick(Qt.Key_Return, Qt.ShiftModifier) }

        // Enter (also the keypad's) and the send button follow the send rule (its cases are in
        // tests/messaging); Enter never breaks the line, and with nothing to send leaves the text as it is.
        function test_enterFollowsCanSend_data() {
            const file = (status) => ({ id: "1", name: "a.pdf", size: 10, mimeType: "application/pdf", uploadStatus: status })
            return [
                { tag: "russian text", text: "Привет, как дела?", attachment: null, sending: false, can: true },
                { tag: "keypad Enter", text: "hello", attachment: null, sending: false, can: true, keypad: true },
                { tag: "blanks", text: "   ", attachment: null, sending: false, can: false },
                { tag: "already sending", text: "hi", attachment: null, sending: true, can: false },
                { tag: "uploading, no text", text: "", attachment: file("uploading"), sending: false, can: true },
                { tag: "pending, no text", text: "", attachment: file("pending"), sending: false, can: false },
                { tag: "failed, text", text: "x", attachment: file("failed"), sending: false, can: false },
            ]
        }

        function test_enterFollowsCanSend(data) {
            composer.hostText = data.text
            composer.attachedFile = data.attachment
            composer.isSending = data.sending
            compare(findChild(composer, "sendButton").enabled, data.can)
            keyClick(data.keypad ? Qt.Key_Enter : Qt.Key_Return, data.keypad ? Qt.KeypadModifier : Qt.NoModifier)
            compare(composer.sends, data.can ? 1 : 0)
            compare(composer.hostText, data.text)
        }

        function test_shiftEnterBreaksTheLineEvenWhenSendingIsImpossible() {
            shiftEnter()
            compare(composer.hostText, "\n")
            compare(composer.sends, 0)
            type("a")
            shiftEnter()
            type("b")
            compare(composer.hostText, "\na\nb")
            compare(composer.sends, 0)
        }

        function test_shiftEnterReplacesTheSelection() {
            type("abc")
            composer.editorItem.textArea.select(1, 2)
            shiftEnter()
            compare(composer.hostText, "a\nc")
        }

        function test_sendButtonAndActions() {
            const spelling = findChild(composer, "spellCheckButton")
            compare(spelling.enabled, false)
            composer.hostText = "x"
            verify(spelling.enabled)
            mouseClick(spelling)
            compare(composer.spellChecks, 1)
            mouseClick(findChild(composer, "attachButton"))
            compare(composer.attaches, 1)
            mouseClick(findChild(composer, "sendButton"))
            compare(composer.sends, 1)
        }

        function test_placeholderAndTexts() {
            const placeholder = findChild(composer, "composerPlaceholder")
            verify(placeholder.visible)
            compare(placeholder.text, "Сообщение...")
            compare(findChild(composer, "composerHint").text, "Shift+Enter — новая строка")
            composer.language = "en"
            compare(placeholder.text, "Message...")
            compare(findChild(composer, "composerHint").text, "Shift+Enter — new line")
            type("a")
            verify(!placeholder.visible)
        }

        function test_editorGrowsToItsLimitAndShrinksBack() {
            compare(composer.textEditorHeight, 36)
            let previous = composer.textEditorHeight
            for (let i = 0; i < 20; ++i) {
                type("x")
                shiftEnter()
                verify(composer.textEditorHeight >= previous)
                verify(composer.textEditorHeight <= 150)
                previous = composer.textEditorHeight
            }
            compare(composer.textEditorHeight, 150)
            // The bar's layout follows on its next polish.
            tryCompare(composer.editorItem, "height", 150)

            // Deleting the lines one by one brings it back down.
            for (let i = 0; i < 40; ++i)
                keyClick(Qt.Key_Backspace)
            compare(composer.hostText, "")
            compare(composer.textEditorHeight, 36)

            // A text set by the host (a failed send given back) is laid out on the next frame; a host
            // that clears the text after a send brings the editor back down.
            composer.hostText = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12"
            tryCompare(composer, "textEditorHeight", 150)
            composer.hostText = ""
            tryCompare(composer, "textEditorHeight", 36)
        }

        // An outside change (a spelling correction, an emoji, a failed send given back) keeps the caret
        // with its text and is one step back with Ctrl+Z; a send's clearing cannot be undone.
        function test_outsideChangeKeepsTheCaretAndUndoes() {
            const area = composer.editorItem.textArea
            type("helo wrld")
            area.cursorPosition = 4
            composer.hostText = "Hello world."
            compare(area.text, "Hello world.")
            compare(area.cursorPosition, 5)
            keyClick(Qt.Key_Z, Qt.ControlModifier)
            compare(area.text, "helo wrld")
            compare(composer.hostText, "helo wrld")
            verify(area.canRedo)
            area.redo()
            compare(composer.hostText, "Hello world.")

            composer.hostText = "a"
            compare(area.text, "a")
            composer.hostText = ""
            keyClick(Qt.Key_Z, Qt.ControlModifier)
            compare(area.text, "")
            compare(composer.hostText, "")
        }
    }

    TestCase {
        name: "EmojiPicker"
        when: windowShown

        property var composer
        property var button

        function init() {
            composer = createTemporaryObject(composerComponent, root)
            verify(composer)
            button = composer.emojiButton
        }

        function openPicker() {
            mouseClick(findChild(button, "emojiButton"))
            verify(button.showPicker)
            tryVerify(() => button.pickerView.visible && button.pickerView.width > 0)
        }

        // The tab row scrolls: bring the tab into view, as a member would, before clicking it.
        function tab(key) {
            const tabs = findChild(button.pickerView, "emojiTabs")
            const keys = EmojiCatalog.categories.map(c => c.key)
            tabs.positionViewAtIndex(keys.indexOf(key), ListView.Contain)
            const item = findChild(button.pickerView, "emojiTab_" + key)
            verify(item, "tab " + key)
            return item
        }

        function cell(index) {
            const item = findChild(button.pickerView, "emojiCell_" + index)
            verify(item, "cell " + index)
            return item
        }

        function test_pickAppendsAtTheEndAndCloses() {
            composer.hostText = "Hello world"
            composer.focusEditor()
            composer.editorItem.textArea.cursorPosition = 5
            openPicker()
            compare(button.selectedCategory, "smileys")
            compare(findChild(button.pickerView, "emojiGrid").width, 8 * 36)
            mouseClick(cell(2))
            compare(composer.hostText, "Hello world😄")
            verify(!button.showPicker)
            compare(composer.editorItem.textArea.text, "Hello world😄")
            compare(composer.editorItem.textArea.cursorPosition, 5)
        }

        function test_reopensOnTheLastCategory() {
            openPicker()
            mouseClick(tab("flags"))
            compare(button.selectedCategory, "flags")
            verify(tab("flags").selected)
            // A sequence goes in whole.
            mouseClick(cell(4))
            compare(composer.hostText, "🏳️\u200D🌈")
            verify(!button.showPicker)

            openPicker()
            compare(button.selectedCategory, "flags")
            // The remembered tab is in view without scrolling the row.
            verify(findChild(button.pickerView, "emojiTab_flags").selected)
            verify(!tab("smileys").selected)
            compare(cell(0).modelData, "🏳️")

            // A new composer starts on smileys again.
            composer = createTemporaryObject(composerComponent, root)
            button = composer.emojiButton
            openPicker()
            compare(button.selectedCategory, "smileys")
            compare(cell(0).modelData, "😀")
        }

        function test_clickOutsideClosesWithoutChoice() {
            composer.hostText = "x"
            openPicker()
            mouseClick(root, 620, 20)
            tryVerify(() => !button.showPicker)
            compare(composer.hostText, "x")
            // The button toggles it open and shut.
            openPicker()
            mouseClick(findChild(button, "emojiButton"))
            verify(!button.showPicker)
            compare(composer.hostText, "x")
        }
    }
}
