import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session

Item {
    property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
    property string language: LanguageManager.language

    Column {
        anchors.centerIn: parent
        spacing: 16

        BusyIndicator {
            anchors.horizontalCenter: parent.horizontalCenter
            running: true
            scale: 1.2
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: language === "en" ? "Loading..." : "Загрузка..."
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: colors.mutedForeground
        }
    }
}
