import QtQuick
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// A titled card of the settings page.
ColumnLayout {
    id: section

    property var colors: AppColors.current
    property string title
    default property alias content: body.data

    spacing: 8

    Text {
        objectName: "sectionTitle"
        Accessible.role: Accessible.Heading
        Accessible.name: text
        text: section.title
        textFormat: Text.PlainText
        font.pixelSize: 14
        font.weight: Font.Medium
        color: section.colors.mutedForeground
        Layout.leftMargin: 2
    }

    Card {
        Layout.fillWidth: true
        Layout.preferredHeight: body.implicitHeight + 8
        colors: section.colors

        ColumnLayout {
            id: body
            anchors { left: parent.left; right: parent.right; top: parent.top; topMargin: 4 }
            spacing: 0
        }
    }
}
