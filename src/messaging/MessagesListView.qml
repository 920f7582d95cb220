import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Session
import Orvane.Ui

// The messages page's column: header with the new-message button, search, and the conversations in one of
// four states. Choosing a row hands its conversation to the host, which owns the selection.
Item {
    id: root

    property var colors: AppColors.current
    property string language: LanguageManager.language
    // The host's open conversation (a map, or null) and the friend whose chat is open ("" for none).
    property var selectedConversation: null
    property string selectedFriendId: ""
    // The list model, exposed for the host and tests.
    readonly property alias conversations: listModel

    signal conversationSelected(var conversation)
    signal navigateToFriends()

    function tr(ru, en) { return language === "en" ? en : ru }

    ConversationListModel {
        id: listModel
        objectName: "conversationListModel"
        language: root.language
        searchText: searchField.text
        // Loads when shown; polling stops while the column is hidden or gone.
        active: root.visible
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 12
            Layout.topMargin: 16
            Layout.bottomMargin: 8

            Text {
                objectName: "title"
                text: tr("Сообщения", "Messages")
                font.pixelSize: 18
                font.weight: Font.DemiBold
                color: colors.foreground
                Layout.fillWidth: true
            }
            Item {
                objectName: "newMessageButton"
                implicitWidth: 28
                implicitHeight: 28
                Icon {
                    anchors.centerIn: parent
                    name: "square.and.pencil"
                    size: 20
                    color: newMessageHover.hovered ? colors.foreground : colors.mutedForeground
                }
                HoverHandler { id: newMessageHover; cursorShape: Qt.PointingHandCursor }
                TapHandler { onTapped: root.navigateToFriends() }
                ToolTip.visible: newMessageHover.hovered
                ToolTip.text: tr("Новое сообщение", "New message")
                ToolTip.delay: 600
            }
        }

        TextField {
            id: searchField
            objectName: "searchField"
            Layout.fillWidth: true
            Layout.leftMargin: 16
            Layout.rightMargin: 16
            Layout.bottomMargin: 8
            placeholderText: tr("Введите текст для поиска", "Enter text to search")
            placeholderTextColor: colors.mutedForeground
            color: colors.foreground
            font.pixelSize: 14
            leftPadding: 10
            background: Rectangle {
                radius: 8
                color: colors.background
                border.width: 1
                border.color: searchField.activeFocus ? colors.ring : colors.border
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Column {
                objectName: "loadingState"
                anchors.centerIn: parent
                spacing: 10
                visible: listModel.state === ConversationListModel.Loading
                Spinner { anchors.horizontalCenter: parent.horizontalCenter; size: 22; color: colors.mutedForeground }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tr("Загрузка...", "Loading...")
                    font.pixelSize: 14
                    color: colors.mutedForeground
                }
            }

            Column {
                objectName: "errorState"
                anchors.centerIn: parent
                width: parent.width - 32
                spacing: 10
                visible: listModel.state === ConversationListModel.Error
                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "exclamationmark.triangle"
                    size: 40
                    color: colors.mutedForeground
                }
                Text {
                    objectName: "errorText"
                    width: parent.width
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                    text: listModel.errorMessage
                    font.pixelSize: 14
                    color: colors.mutedForeground
                }
                GlassButton {
                    objectName: "retryButton"
                    anchors.horizontalCenter: parent.horizontalCenter
                    colors: root.colors
                    text: tr("Повторить", "Retry")
                    onClicked: listModel.reload()
                }
            }

            Column {
                objectName: "emptyState"
                anchors.centerIn: parent
                spacing: 10
                visible: listModel.state === ConversationListModel.Empty
                Icon {
                    anchors.horizontalCenter: parent.horizontalCenter
                    name: "bubble.left.and.bubble.right"
                    size: 40
                    color: colors.mutedForeground
                }
                Text {
                    anchors.horizontalCenter: parent.horizontalCenter
                    text: tr("Нет диалогов", "No conversations")
                    font.pixelSize: 16
                    color: colors.mutedForeground
                }
            }

            ListView {
                id: list
                objectName: "conversationList"
                anchors.fill: parent
                clip: true
                visible: listModel.state === ConversationListModel.List
                model: listModel
                boundsBehavior: Flickable.StopAtBounds
                spacing: 0
                delegate: MessageConversationRow {
                    width: ListView.view.width
                    colors: root.colors
                    language: root.language
                    isSelected: (root.selectedConversation ? root.selectedConversation.id === conversationId : false)
                                || (root.selectedFriendId.length > 0 && root.selectedFriendId === participantId)
                    onTapped: root.conversationSelected(listModel.conversationAt(index))
                }
            }
        }
    }
}
