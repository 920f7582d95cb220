import QtQuick
import QtTest
import Orvane.Session
import Orvane.Messaging.Composer

Item {
    id: root
    width: 640; height: 480

    Component {
        id: composerComponent
        ChatInputView {
            property string hostText: ""
            y: 400
            width: 500
            colors: AppColors.light
            language: "en"
            message: hostText
            onMessageEdited: (text) => hostText = text
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
            mouseClick(cell(2))
            compare(composer.hostText, "Hello world😄")
            verify(!button.showPicker)
            compare(composer.editorItem.textArea.text, "Hello world😄")
            compare(composer.editorItem.textArea.cursorPosition, 5)
        }

        function test_sequenceIsInsertedWhole() {
            openPicker()
            mouseClick(tab("flags"))
            mouseClick(cell(4))
            compare(composer.hostText, "🏳️\u200D🌈")
            compare(composer.hostText.length, 6)
            openPicker()
            mouseClick(tab("symbols"))
            mouseClick(cell(10))
            compare(composer.hostText, "🏳️\u200D🌈❤️\u200D🔥")
        }

        function test_reopensOnTheLastCategory() {
            openPicker()
            mouseClick(tab("flags"))
            compare(button.selectedCategory, "flags")
            verify(tab("flags").selected)
            mouseClick(cell(0))
            verify(!button.showPicker)

            openPicker()
            compare(button.selectedCategory, "flags")
            // The remembered tab is in view without scrolling the row.
            verify(findChild(button.pickerView, "emojiTab_flags").selected)
            verify(!tab("smileys").selected)
            compare(cell(0).modelData, "🏳️")
        }

        function test_newComposerStartsOnSmileys() {
            openPicker()
            mouseClick(tab("animals"))
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

        function test_tabsAndGrid() {
            openPicker()
            const tabs = findChild(button.pickerView, "emojiTabs")
            compare(tabs.count, 10)
            const grid = findChild(button.pickerView, "emojiGrid")
            compare(grid.count, 80)
            compare(grid.width, 8 * 36)
            mouseClick(tab("gestures"))
            compare(grid.count, 40)
        }
    }
}
