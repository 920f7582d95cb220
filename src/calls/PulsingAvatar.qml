import QtQuick
import Orvane.Ui

// The other member's picture inside a ring that pulses while the call is being set up.
Item {
    id: root

    property url source
    property bool pulsing: true

    implicitWidth: 160
    implicitHeight: 160

    Rectangle {
        anchors.centerIn: parent
        width: 160
        height: 160
        radius: 80
        color: "transparent"
        border.width: 3
        border.color: AppColors.current.primary
        opacity: root.pulsing ? 0.6 : 0
        SequentialAnimation on scale {
            running: root.pulsing
            loops: Animation.Infinite
            NumberAnimation { from: 1.0; to: 1.3; duration: 1000; easing.type: Easing.OutQuad }
            NumberAnimation { from: 1.3; to: 1.0; duration: 1000; easing.type: Easing.InQuad }
        }
    }
    Avatar {
        anchors.centerIn: parent
        size: 140
        source: root.source
    }
}
