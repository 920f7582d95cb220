import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// The settings page's notifications card: desktop notifications, their text and sound, and what
// closing the window does while a tray shows the application.
SettingsSection {
    id: section

    property string language: LanguageManager.language
    readonly property color ink: "#171717"

    function tr(ru, en) { return language === "en" ? en : ru }

    title: tr("Уведомления", "Notifications")

    SwitchRow {
        objectName: "notificationsEnabledRow"
        symbol: "bell"
        label: section.tr("Показывать уведомления", "Show notifications")
        checked: NotificationPreferences.enabled
        onToggled: (on) => NotificationPreferences.enabled = on
    }
    Divider {}
    SwitchRow {
        objectName: "notificationsTextRow"
        symbol: "message"
        label: section.tr("Показывать текст сообщения", "Show message text")
        enabled: NotificationPreferences.enabled
        checked: NotificationPreferences.showMessageText
        onToggled: (on) => NotificationPreferences.showMessageText = on
    }
    Divider {}
    SwitchRow {
        objectName: "notificationsSoundRow"
        symbol: "speaker.wave.2.fill"
        label: section.tr("Звук уведомлений", "Notification sound")
        enabled: NotificationPreferences.enabled
        checked: NotificationPreferences.sound
        onToggled: (on) => NotificationPreferences.sound = on
    }
    Divider {}
    SwitchRow {
        objectName: "minimizeToTrayRow"
        symbol: "arrow.down.circle"
        label: section.tr("Сворачивать в трей при закрытии", "Minimise to tray on close")
        checked: NotificationPreferences.minimizeToTray
        onToggled: (on) => NotificationPreferences.minimizeToTray = on
    }

    component Divider: Rectangle {
        Layout.fillWidth: true
        Layout.leftMargin: 14
        Layout.rightMargin: 14
        Layout.preferredHeight: 1
        color: section.colors.border
    }

    component SwitchRow: RowLayout {
        id: row
        property string symbol
        property string label
        property bool checked
        signal toggled(bool on)
        Layout.fillWidth: true
        Layout.margins: 14
        spacing: 10
        opacity: enabled ? 1 : 0.5

        Rectangle {
            implicitWidth: 24
            implicitHeight: 24
            radius: 6
            color: section.colors.isDark ? "#E4E4E7" : "transparent"
            Icon { anchors.centerIn: parent; name: row.symbol; size: 16; color: section.ink }
        }
        Text {
            Layout.fillWidth: true
            text: row.label
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: section.colors.foreground
            elide: Text.ElideRight
        }
        Switch {
            id: toggle
            objectName: "switch"
            checked: row.checked
            onToggled: row.toggled(checked)
            Accessible.name: row.label
            indicator: Rectangle {
                implicitWidth: 38
                implicitHeight: 22
                x: toggle.leftPadding
                y: (toggle.height - height) / 2
                radius: 11
                color: toggle.checked ? (section.colors.isDark ? "#FAFAFA" : section.ink) : section.colors.muted
                border.width: 1
                border.color: section.colors.border
                Rectangle {
                    x: toggle.checked ? parent.width - width - 3 : 3
                    anchors.verticalCenter: parent.verticalCenter
                    width: 16; height: 16; radius: 8
                    color: toggle.checked && section.colors.isDark ? section.ink : "white"
                    Behavior on x { NumberAnimation { duration: 120 } }
                }
            }
        }
    }
}
