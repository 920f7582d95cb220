import QtQuick
import QtQuick.Layouts
import Orvane.Session

// One row of the profile table: title at the left, value at the right, a separator unless last.
Item {
    id: row

    property string title
    property string value
    property var colors: AppColors.current
    property bool isLast: false

    implicitHeight: 44
    Accessible.role: Accessible.StaticText
    Accessible.name: title + ": " + value

    RowLayout {
        anchors { fill: parent; leftMargin: 16; rightMargin: 16 }
        spacing: 12
        Text {
            objectName: "rowTitle"
            text: row.title
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: row.colors.mutedForeground
        }
        Text {
            objectName: "rowValue"
            Layout.fillWidth: true
            text: row.value
            textFormat: Text.PlainText
            horizontalAlignment: Text.AlignRight
            elide: Text.ElideRight
            font.pixelSize: 14
            color: row.colors.foreground
        }
    }
    Rectangle {
        objectName: "separator"
        visible: !row.isLast
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom; leftMargin: 16; rightMargin: 16 }
        height: 1
        color: row.colors.border
    }
}
