import QtQuick
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// One conversation: avatar, name and time, the last message and the unread badge. The whole row is the button.
Rectangle {
    id: row

    required property int index
    required property string conversationId
    required property string participantId
    required property string displayName
    required property url avatarUrl
    required property string time
    required property string lastMessage
    required property bool hasLastMessage
    required property var unreadCount
    required property string draft

    property var colors: AppColors.current
    property string language: LanguageManager.language
    property bool isSelected: false

    signal tapped()

    function tr(ru, en) { return language === "en" ? en : ru }

    implicitHeight: 72
    color: isSelected ? colors.muted : "transparent"
    // One line for a screen reader: "Борис Иванов, 3 непрочитанных, Давай обсудим…".
    Accessible.role: Accessible.ListItem
    Accessible.name: [displayName].concat(unreadCount >= 1 ? [tr(unreadCount + " непрочитанных", unreadCount + " unread")] : [],
                                          [hasLastMessage ? lastMessage : tr("Нет сообщений", "No messages")]).join(", ")
    Accessible.description: time
    Accessible.selectable: true
    Accessible.selected: isSelected
    Accessible.onPressAction: tapped()
    // Focusable for screen readers (their "focus" action); the list keeps its current row in step.
    Accessible.focusable: true
    onActiveFocusChanged: if (activeFocus && ListView.view) ListView.view.currentIndex = index
    focus: ListView.isCurrentItem
    FocusRing { offset: -2; radius: 4 }

    RowLayout {
        anchors { fill: parent; leftMargin: 16; rightMargin: 16; topMargin: 12; bottomMargin: 12 }
        spacing: 12

        Avatar {
            size: 48
            source: row.avatarUrl
            colors: row.colors
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 4

            RowLayout {
                Layout.fillWidth: true
                Text {
                    objectName: "nameText"
                    Layout.fillWidth: true
                    text: row.displayName
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: 15
                    font.weight: Font.DemiBold
                    color: colors.foreground
                }
                Text {
                    objectName: "timeText"
                    text: row.time
                    textFormat: Text.PlainText
                    visible: text.length > 0
                    font.pixelSize: 13
                    color: colors.mutedForeground
                }
            }

            RowLayout {
                Layout.fillWidth: true
                Text {
                    objectName: "draftLabel"
                    visible: row.draft.length > 0
                    text: tr("Черновик:", "Draft:")
                    textFormat: Text.PlainText
                    font.pixelSize: 14
                    color: "#EF4444"
                }
                Text {
                    objectName: "draftText"
                    visible: row.draft.length > 0
                    Layout.fillWidth: true
                    text: row.draft
                    textFormat: Text.PlainText
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: 14
                    color: colors.mutedForeground
                }
                Text {
                    objectName: "previewText"
                    visible: row.draft.length === 0
                    Layout.fillWidth: true
                    text: row.hasLastMessage ? row.lastMessage : tr("Нет сообщений", "No messages")
                    textFormat: Text.PlainText
                    font.italic: !row.hasLastMessage
                    elide: Text.ElideRight
                    maximumLineCount: 1
                    font.pixelSize: 14
                    color: colors.mutedForeground
                }
                Rectangle {
                    objectName: "unreadBadge"
                    visible: row.unreadCount >= 1
                    implicitWidth: Math.max(22, badgeText.implicitWidth + 12)
                    implicitHeight: Math.max(22, badgeText.implicitHeight + 4)
                    radius: height / 2
                    color: "#171717"
                    Text {
                        id: badgeText
                        objectName: "unreadText"
                        anchors.centerIn: parent
                        text: String(row.unreadCount)
                        textFormat: Text.PlainText
                        font.pixelSize: 12
                        font.bold: true
                        color: "white"
                    }
                }
            }
        }
    }

    HoverHandler { cursorShape: Qt.PointingHandCursor }
    TapHandler { onTapped: row.tapped() }
}
