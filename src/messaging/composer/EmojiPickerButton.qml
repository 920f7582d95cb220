import QtQuick
import QtQuick.Controls.Basic
import Orvane.Messaging.Composer

// The composer's emoji button and its pop-over. `showPicker` and `selectedCategory` live as long as
// the button (that is, the composer): the picker reopens on the category used last.
Item {
    id: root

    property var colors
    property string language
    property bool showPicker: false
    property string selectedCategory: EmojiCatalog.defaultCategory
    readonly property alias pickerView: picker

    signal emojiPicked(string emoji)

    implicitWidth: 32
    implicitHeight: 32

    onShowPickerChanged: showPicker ? popup.open() : popup.close()

    ComposerIconButton {
        id: button
        objectName: "emojiButton"
        anchors.fill: parent
        iconName: "face.smiling"
        iconColor: root.showPicker ? (root.colors && root.colors.isDark ? root.colors.foreground : "#171717")
                                   : (root.colors ? root.colors.mutedForeground : "#71717a")
        tooltip: root.language === "en" ? "Add emoji" : "Добавить эмодзи"
        onClicked: root.showPicker = !root.showPicker
    }

    Popup {
        id: popup
        objectName: "emojiPopup"
        width: 300
        height: 280
        padding: 0
        x: 0
        y: -height - 8
        // A press on the button itself is its own toggle, not a press outside.
        closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutsideParent
        onClosed: root.showPicker = false
        onAboutToShow: picker.revealSelectedTab()
        // The picker takes the keyboard while open (Escape closes it); the editor gets it back after.
        focus: true
        onOpened: picker.focusGrid()

        background: Rectangle {
            radius: 10
            color: root.colors ? root.colors.popover : "#ffffff"
            border.width: 1
            border.color: root.colors ? root.colors.border : "#e4e4e7"
        }

        contentItem: EmojiPickerView {
            id: picker
            objectName: "emojiPicker"
            colors: root.colors
            language: root.language
            selectedCategory: root.selectedCategory
            onCategoryChosen: (key) => root.selectedCategory = key
            onEmojiPicked: (emoji) => {
                root.emojiPicked(emoji)
                root.showPicker = false
            }
        }
    }
}
