import QtQuick
import Orvane.Ui

// Centred symbol and caption: the chat placeholder, and sections whose pages are not built yet.
Item {
    required property var colors
    property string symbol: "bubble.left.and.bubble.right"
    property string caption

    Column {
        anchors.centerIn: parent
        spacing: 12
        Icon {
            anchors.horizontalCenter: parent.horizontalCenter
            name: parent.parent.symbol
            size: 48
            color: colors.mutedForeground
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: parent.parent.caption
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            textFormat: Text.PlainText
            font.pixelSize: 16
            color: colors.mutedForeground
        }
    }
}
