import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session
import Orvane.Ui

// The keyboard shortcuts (F1 or Ctrl+/). Its own file so that it loads on first use only.
Popup {
    id: popup

    readonly property var colors: AppColors.current
    readonly property bool english: LanguageManager.language === "en"
    // Key, then what it does in Russian and in English.
    readonly property var keys: [
        ["Tab / Shift+Tab", "Следующий / предыдущий элемент", "Next / previous control"],
        ["Ctrl+F, Ctrl+K", "Поиск", "Search"],
        ["Alt+1 … Alt+4", "Сообщения, Друзья, Настройки, Профиль", "Messages, Friends, Settings, Profile"],
        ["↑ / ↓, Enter", "Выбрать и открыть диалог или друга", "Move through and open conversations or friends"],
        ["Enter", "Отправить сообщение", "Send the message"],
        ["Shift+Enter", "Новая строка", "New line"],
        ["Page Up / Page Down", "Листать сообщения", "Scroll the messages"],
        ["Ctrl+End", "К последнему сообщению", "Jump to the newest message"],
        ["Escape", "Закрыть меню, эмодзи, окно или панель звука", "Close a menu, the emoji picker, a pop-up or the audio panel"],
        [english ? "Enter (call)" : "Enter (звонок)", "Ответить на звонок", "Answer a call"],
        [english ? "Escape (call)" : "Escape (звонок)", "Отклонить или завершить звонок", "Decline or end a call"],
        ["Ctrl+M", "Микрофон вкл./выкл. во время звонка", "Mute or unmute during a call"],
        ["F1, Ctrl+/", "Этот список", "This list"],
        ["Ctrl+Q", "Выход", "Quit"]
    ]

    // Centred in the window: its loader fills it.
    x: Math.round((parent.width - width) / 2)
    y: Math.round((parent.height - height) / 2)
    width: Math.min(560, parent.width - 40)
    modal: true
    focus: true
    padding: 20
    closePolicy: Popup.CloseOnEscape | Popup.CloseOnPressOutside

    background: Rectangle {
        radius: 12
        color: popup.colors.popover
        border.width: 1
        border.color: popup.colors.border
    }

    contentItem: Column {
        spacing: 12
        Accessible.role: Accessible.Dialog
        Accessible.name: title.text

        Item {
            width: parent.width
            height: Math.max(title.implicitHeight, closeButton.implicitHeight)
            Text {
                id: title
                objectName: "shortcutsTitle"
                anchors.verticalCenter: parent.verticalCenter
                text: popup.english ? "Keyboard shortcuts" : "Клавиши"
                textFormat: Text.PlainText
                font.pixelSize: 18
                font.weight: Font.DemiBold
                color: popup.colors.popoverForeground
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            GlassButton {
                id: closeButton
                objectName: "shortcutsCloseButton"
                anchors { right: parent.right; verticalCenter: parent.verticalCenter }
                colors: popup.colors
                text: popup.english ? "Close" : "Закрыть"
                onClicked: popup.close()
            }
        }

        Repeater {
            model: popup.keys
            Row {
                required property var modelData
                width: parent.width
                spacing: 12
                Accessible.role: Accessible.StaticText
                Accessible.name: modelData[0] + ": " + modelData[popup.english ? 2 : 1]
                Text {
                    width: 170
                    text: parent.modelData[0]
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: 13
                    font.weight: Font.Medium
                    color: popup.colors.popoverForeground
                    Accessible.ignored: true
                }
                Text {
                    width: parent.width - 170 - parent.spacing
                    text: parent.modelData[popup.english ? 2 : 1]
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    font.pixelSize: 13
                    color: popup.colors.mutedForeground
                    Accessible.ignored: true
                }
            }
        }
    }
}
