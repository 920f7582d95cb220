import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People

// One friend: avatar, name and "@" line, then chat, call and a menu (send message; the friend's
// page on the web site, only when the friend has a user name).
Item {
    id: row

    required property int index
    required property var friendEntry
    required property string displayName
    required property var username
    required property bool hasUsername
    required property url avatarURL

    property var colors: AppColors.current
    property string language: LanguageManager.language
    property bool isLast: false
    readonly property alias menu: menu
    readonly property var websiteMenuItem: websiteItem

    signal chat()
    signal call()

    // Only a friend with a user name has a page on the web site; otherwise the item is left out.
    property RowMenuItem websiteItem: RowMenuItem {
        objectName: "websiteItem"
        symbol: "safari"
        text: row.tr("Открыть на сайте", "Open on website")
        onTriggered: WebPage.open(row.username || "")
    }
    onHasUsernameChanged: syncWebsiteItem()
    Component.onCompleted: syncWebsiteItem()

    function syncWebsiteItem() {
        let index = -1
        for (let i = 0; i < menu.count; ++i) {
            if (menu.itemAt(i) === websiteItem)
                index = i
        }
        if (hasUsername && index < 0)
            menu.addItem(websiteItem)
        else if (!hasUsername && index >= 0)
            menu.takeItem(index)
    }

    function tr(ru, en) { return language === "en" ? en : ru }

    objectName: "friendRow_" + (friendEntry.id || "")
    implicitHeight: 68
    // The row holds the list's focus: Enter opens the chat, the menu key (or Shift+F10) the menu.
    Accessible.role: Accessible.ListItem
    Accessible.name: displayName + (hasUsername ? ", @" + (username || "") : "")
    Accessible.onPressAction: chat()
    // Focusable for screen readers (their "focus" action); the list keeps its current row in step.
    Accessible.focusable: true
    onActiveFocusChanged: if (activeFocus && ListView.view) ListView.view.currentIndex = index
    focus: ListView.isCurrentItem
    Keys.onReturnPressed: chat()
    Keys.onEnterPressed: chat()
    Keys.onMenuPressed: menu.open()
    Shortcut {
        sequence: "Shift+F10"
        enabled: row.activeFocus
        onActivated: menu.open()
    }
    FocusRing { offset: -2; radius: 4 }

    Rectangle {
        anchors.fill: parent
        color: hover.hovered ? (row.colors.isDark ? Qt.rgba(1, 1, 1, 0.03) : Qt.rgba(0, 0, 0, 0.025)) : "transparent"
    }
    HoverHandler { id: hover }

    RowLayout {
        anchors { fill: parent; leftMargin: 12; rightMargin: 12 }
        spacing: 12

        Avatar {
            Layout.alignment: Qt.AlignVCenter
            size: 48
            source: row.avatarURL
            colors: row.colors
        }

        ColumnLayout {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            spacing: 2
            Text {
                objectName: "nameText"
                Layout.fillWidth: true
                text: row.displayName
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.pixelSize: 15
                font.weight: Font.Medium
                color: row.colors.foreground
            }
            Text {
                objectName: "usernameText"
                Layout.fillWidth: true
                visible: row.hasUsername
                text: "@" + (row.username || "")
                textFormat: Text.PlainText
                elide: Text.ElideRight
                font.pixelSize: 13
                color: row.colors.mutedForeground
            }
        }

        RowIconButton {
            objectName: "chatButton"
            Accessible.name: row.tr("Написать ", "Message ") + row.displayName
            symbol: "message.fill"
            symbolSize: 14
            onClicked: row.chat()
        }
        RowIconButton {
            objectName: "callButton"
            Accessible.name: row.tr("Позвонить ", "Call ") + row.displayName
            symbol: "phone.fill"
            onClicked: row.call()
        }
        RowIconButton {
            id: menuButton
            objectName: "menuButton"
            Accessible.name: row.tr("Ещё", "More")
            symbol: "ellipsis"
            onClicked: menu.open()

            Menu {
                id: menu
                objectName: "friendMenu"
                y: menuButton.height + 4
                x: menuButton.width - width
                padding: 4

                background: Rectangle {
                    implicitWidth: 220
                    radius: 10
                    color: row.colors.popover
                    border.width: 1
                    border.color: row.colors.border
                }

                RowMenuItem {
                    objectName: "sendMessageItem"
                    symbol: "message"
                    text: tr("Написать сообщение", "Send message")
                    onTriggered: row.chat()
                }
            }
        }
    }

    Rectangle {
        objectName: "divider"
        visible: !row.isLast
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; leftMargin: 72 }
        height: 1
        color: row.colors.border
    }

    component RowIconButton: AbstractButton {
        id: button
        property string symbol
        property real symbolSize: 16
        // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
        Accessible.onPressAction: clicked()
        implicitWidth: 32
        implicitHeight: 32
        FocusRing {}
        hoverEnabled: true
        contentItem: Icon {
            name: button.symbol
            size: button.symbolSize
            color: button.hovered ? row.colors.foreground : row.colors.mutedForeground
        }
        background: Rectangle {
            radius: 8
            color: button.down ? row.colors.muted : (button.hovered ? Qt.rgba(row.colors.muted.r, row.colors.muted.g, row.colors.muted.b, 0.6) : "transparent")
        }
    }

    component RowMenuItem: MenuItem {
        id: item
        property string symbol
        implicitHeight: 34
        Accessible.onPressAction: clicked()
        leftPadding: 10
        rightPadding: 10
        contentItem: RowLayout {
            spacing: 8
            Icon { name: item.symbol; size: 15; color: row.colors.popoverForeground }
            Text {
                Layout.fillWidth: true
                text: item.text
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: row.colors.popoverForeground
                elide: Text.ElideRight
            }
        }
        background: Rectangle {
            radius: 6
            color: item.highlighted ? row.colors.accent : "transparent"
        }
    }
}
