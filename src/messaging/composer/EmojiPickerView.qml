import QtQuick
import QtQuick.Controls.Basic
import Orvane.Messaging.Composer

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

    implicitWidth: 300
    implicitHeight: 280

    ListView {
        id: tabs
        objectName: "emojiTabs"
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
            width: 36
            height: 36
            radius: 8
            color: selected && root.colors ? root.colors.muted : "transparent"

            Text {
                anchors.centerIn: parent
                text: parent.modelData.tab
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
        anchors { top: tabs.bottom; topMargin: 6; bottom: parent.bottom; bottomMargin: 6 }
        anchors.horizontalCenter: parent.horizontalCenter
        width: root.columns * cellWidth
        cellWidth: 32 + 4
        cellHeight: 32 + 4
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        model: EmojiCatalog.emojis(root.selectedCategory)
        ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

        delegate: Item {
            required property string modelData
            required property int index
            objectName: "emojiCell_" + index
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
