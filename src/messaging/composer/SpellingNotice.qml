import QtQuick
import Orvane.Ui

// The notice after a spelling check: a green check mark and the text. show() fades and slides it in
// and hides it 2 s later; a second check meanwhile does not postpone that hide.
Item {
    id: root

    property var colors
    property string text
    property bool shown: false

    function show(notice) {
        text = notice
        shown = true
        if (!hideTimer.running)
            hideTimer.start()
    }

    implicitWidth: row.implicitWidth
    implicitHeight: row.implicitHeight
    visible: opacity > 0
    Accessible.role: Accessible.AlertMessage
    Accessible.name: text
    opacity: shown ? 1 : 0
    transform: Translate { y: root.shown ? 0 : 8; Behavior on y { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } } }
    Behavior on opacity { NumberAnimation { duration: 300; easing.type: Easing.InOutQuad } }

    Timer {
        id: hideTimer
        interval: 2000
        onTriggered: root.shown = false
    }

    Row {
        id: row
        spacing: 6

        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: "checkmark.circle.fill"
            size: 13
            color: "#22c55e"
        }

        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: root.text
            textFormat: Text.PlainText
            font.pixelSize: 13
            font.weight: Font.Medium
            color: root.colors ? root.colors.foreground : "#18181b"
        }
    }
}
