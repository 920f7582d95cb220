import QtQuick
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Session
import Orvane.Ui

// A file that can be fetched: clicking opens its address with the desktop's default handler.
Rectangle {
    id: card

    property string url
    property string fileName
    property string icon: "doc"
    property var colors: AppColors.current
    property string language: LanguageManager.language

    function tr(ru, en) { return language === "en" ? en : ru }

    implicitWidth: Math.min(280, row.implicitWidth + 20)
    implicitHeight: 52
    radius: 10
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: tr("Скачать ", "Download ") + fileName
    Accessible.onPressAction: LinkOpener.open(card.url)
    Keys.onSpacePressed: LinkOpener.open(card.url)
    Keys.onReturnPressed: LinkOpener.open(card.url)
    FocusRing {}
    color: Qt.rgba(0x3B / 255, 0x82 / 255, 0xF6 / 255, hover.hovered ? 0.1 : 0.05)

    RowLayout {
        id: row
        anchors { fill: parent; leftMargin: 8; rightMargin: 10 }
        spacing: 10

        Rectangle {
            implicitWidth: 36
            implicitHeight: 36
            radius: 8
            color: Qt.rgba(0x3B / 255, 0x82 / 255, 0xF6 / 255, 0.1)
            Icon { anchors.centerIn: parent; name: card.icon; size: 20; color: "#3B82F6" }
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
                text: tr("Скачать", "Download")
                textFormat: Text.PlainText
                font.pixelSize: 11
                color: "#3B82F6"
            }
        }
        Icon { name: "arrow.down.circle.fill"; size: 18; color: "#3B82F6" }
    }

    HoverHandler { id: hover; cursorShape: Qt.PointingHandCursor }
    TapHandler { onTapped: LinkOpener.open(card.url) }
}
