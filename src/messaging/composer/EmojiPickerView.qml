import QtQuick
import QtQuick.Controls.Basic
import Orvane.Messaging.Composer
import Orvane.Ui

// The picker: a scrolling row of the ten category tabs over a grid of the chosen category's emoji
// (eight 32-point columns, 4 points apart).
Item {
    id: root

    property var colors
    property string language
    // Key of the category shown ("smileys" … "flags"); the owner keeps it (see categoryChosen).
    property string selectedCategory: EmojiCatalog.defaultCategory
    readonly property int columns: 8

    signal emojiPicked(string emoji)
    signal categoryChosen(string key)

    // The row scrolls: on reopening, the remembered tab is brought into view.
    function revealSelectedTab() {
        const index = EmojiCatalog.categories.findIndex(c => c.key === selectedCategory)
        if (index >= 0)
            tabs.positionViewAtIndex(index, ListView.Contain)
    }

    function focusGrid() { grid.forceActiveFocus() }
    // Category names for screen readers, in tab order of the catalogue's keys.
    readonly property var categoryNames: ({
        smileys: ["Смайлики", "Smileys"], gestures: ["Жесты", "Gestures"], people: ["Люди", "People"],
        animals: ["Животные", "Animals"], food: ["Еда", "Food"], activities: ["Занятия", "Activities"],
        travel: ["Путешествия", "Travel"], objects: ["Предметы", "Objects"], symbols: ["Символы", "Symbols"],
        flags: ["Флаги", "Flags"]
    })
    function categoryName(key) {
        const names = categoryNames[key]
        return names ? names[language === "en" ? 1 : 0] : key
    }
    implicitWidth: 300
    implicitHeight: 280

    ListView {
        id: tabs
        objectName: "emojiTabs"
        activeFocusOnTab: true
        Accessible.role: Accessible.PageTabList
        Accessible.name: root.language === "en" ? "Emoji categories" : "Категории эмодзи"
        KeyNavigation.down: grid
        Keys.onReturnPressed: root.categoryChosen(currentItem.modelData.key)
        Keys.onSpacePressed: root.categoryChosen(currentItem.modelData.key)
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 6 }
        height: 36
        orientation: ListView.Horizontal
        spacing: 2
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: EmojiCatalog.categories

        delegate: Rectangle {
            required property var modelData
            readonly property bool selected: modelData.key === root.selectedCategory
            objectName: "emojiTab_" + modelData.key
            Accessible.role: Accessible.PageTab
            Accessible.name: root.categoryName(modelData.key)
            Accessible.checkable: true
            Accessible.checked: selected
            Accessible.onPressAction: root.categoryChosen(modelData.key)
            FocusRing { offset: -1; visible: parent.ListView.isCurrentItem && parent.ListView.view.activeFocus }
            width: 36
            height: 36
            radius: 8
            color: selected && root.colors ? root.colors.muted : "transparent"

            Text {
                anchors.centerIn: parent
                text: parent.modelData.tab
                Accessible.ignored: true
                textFormat: Text.PlainText
                font.pixelSize: 20
            }

            MouseArea {
                anchors.fill: parent
                onClicked: root.categoryChosen(parent.modelData.key)
            }
        }
    }

    GridView {
        id: grid
        objectName: "emojiGrid"
        Accessible.role: Accessible.List
        activeFocusOnTab: true
        Accessible.name: root.categoryName(root.selectedCategory)
        KeyNavigation.up: tabs
        Keys.onReturnPressed: if (currentItem) root.emojiPicked(currentItem.modelData)
        Keys.onSpacePressed: if (currentItem) root.emojiPicked(currentItem.modelData)
        anchors { top: tabs.bottom; topMargin: 6; bottom: parent.bottom; bottomMargin: 6 }
        anchors.horizontalCenter: parent.horizontalCenter
        width: root.columns * cellWidth
        cellWidth: 32 + 4
        cellHeight: 32 + 4
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: EmojiCatalog.emojis(root.selectedCategory)
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded; Accessible.name: root.language === "en" ? "Scroll emoji" : "Прокрутка эмодзи" }

        delegate: Item {
            required property string modelData
            required property int index
            objectName: "emojiCell_" + index
            // Qt has no names of emoji: the character itself is the name.
            Accessible.role: Accessible.Button
            Accessible.name: modelData
            Accessible.onPressAction: root.emojiPicked(modelData)
            FocusRing { offset: -1; radius: 8; visible: parent.GridView.isCurrentItem && parent.GridView.view.activeFocus }
            width: grid.cellWidth
            height: grid.cellHeight

            Rectangle {
                anchors.centerIn: parent
                width: 32
                height: 32
                radius: 6
                color: cellMouse.containsMouse && root.colors ? root.colors.muted : "transparent"

                Text {
                    anchors.centerIn: parent
                    text: modelData
                    Accessible.ignored: true
                    textFormat: Text.PlainText
                    font.pixelSize: 24
                }
            }

            MouseArea {
                id: cellMouse
                anchors.fill: parent
                hoverEnabled: true
                onClicked: root.emojiPicked(parent.modelData)
            }
        }
    }
}
