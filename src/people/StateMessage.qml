import QtQuick
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// A centred page state: a spinner or a symbol above a short text, and room for a button below.
Item {
    id: root

    property var colors: AppColors.current
    property bool busy: false
    property string symbol
    property color symbolColor: colors.mutedForeground
    property real symbolSize: 40
    property string text
    property real textSize: 14
    default property alias extra: extraColumn.data

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 48, 360)
        spacing: 12

        Spinner {
            Layout.alignment: Qt.AlignHCenter
            visible: root.busy
            running: visible
            size: 24
            color: root.colors.mutedForeground
        }
        Icon {
            Layout.alignment: Qt.AlignHCenter
            visible: !root.busy && root.symbol.length > 0
            name: root.symbol
            size: root.symbolSize
            color: root.symbolColor
        }
        Text {
            objectName: "stateText"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Layout.fillWidth: true
            text: root.text
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            horizontalAlignment: Text.AlignHCenter
            font.pixelSize: root.textSize
            color: root.colors.mutedForeground
        }
        Column {
            id: extraColumn
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 4
        }
    }
}
