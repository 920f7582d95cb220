import QtQuick
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// A file whose link was lost: only its name remains.
Rectangle {
    id: card

    property string fileName
    property string icon: "doc"
    property var colors: AppColors.current
    property string language: LanguageManager.language

    function tr(ru, en) { return language === "en" ? en : ru }

    implicitWidth: Math.min(280, row.implicitWidth + 20)
    implicitHeight: 52
    radius: 10
    Accessible.role: Accessible.StaticText
    Accessible.name: fileName + ", " + tr("файл недоступен", "file unavailable")
    color: Qt.rgba(0x9C / 255, 0xA3 / 255, 0xAF / 255, 0.05)

    RowLayout {
        id: row
        anchors { fill: parent; leftMargin: 8; rightMargin: 10 }
        spacing: 10

        Rectangle {
            implicitWidth: 36
            implicitHeight: 36
            radius: 8
            color: Qt.rgba(0x9C / 255, 0xA3 / 255, 0xAF / 255, 0.1)
            Icon { anchors.centerIn: parent; name: card.icon; size: 20; color: "#9CA3AF" }
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                objectName: "cardName"
                Layout.fillWidth: true
                Layout.maximumWidth: 180
                text: card.fileName
                textFormat: Text.PlainText
                elide: Text.ElideMiddle
                maximumLineCount: 1
                font.pixelSize: 13
                font.weight: Font.Medium
                color: colors.foreground
            }
            Text {
                text: tr("Файл недоступен", "File unavailable")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: colors.mutedForeground
            }
        }
    }
}
