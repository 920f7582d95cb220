import QtQuick
import QtQuick.Layouts
import Orvane.Session

// A page's title row (semibold 18) with room for actions at the right, and the divider below it.
ColumnLayout {
    id: header

    property var colors: AppColors.current
    property string title
    default property alias actions: actionRow.data

    spacing: 0

    RowLayout {
        Layout.fillWidth: true
        Layout.preferredHeight: 56
        Layout.leftMargin: 20
        Layout.rightMargin: 12
        spacing: 8

        Text {
            objectName: "pageTitle"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            text: header.title
            textFormat: Text.PlainText
            font.pixelSize: 18
            font.weight: Font.DemiBold
            color: header.colors.foreground
        }
        Item { Layout.fillWidth: true }
        Row {
            id: actionRow
            spacing: 4
        }
    }
    Rectangle {
        Layout.fillWidth: true
        Layout.preferredHeight: 1
        color: header.colors.border
    }
}
