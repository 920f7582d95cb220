import QtQuick
import Orvane.Ui
import Orvane.Session

// The other member's picture inside a ring that pulses while the call is being set up.
Item {
    id: root

    property url source
    property bool pulsing: true
    // The picture's diameter; the ring sits 10 around it.
    property real size: 140

    implicitWidth: size + 20
    implicitHeight: size + 20

    Behavior on size { NumberAnimation { duration: 160; easing.type: Easing.OutCubic } }

    Repeater {
        // Two rings a moment apart, widening and fading out from the picture.
        model: 2
        Rectangle {
            required property int index
            anchors.centerIn: parent
            width: root.size + 20
            height: width
            radius: width / 2
            color: "transparent"
            border.width: 3
            border.color: AppColors.current.primary
            visible: root.pulsing
            SequentialAnimation on scale {
                running: root.pulsing
                loops: Animation.Infinite
                PauseAnimation { duration: index * 750 }
                NumberAnimation { from: 1.0; to: 1.3; duration: 1500; easing.type: Easing.OutQuad }
                PauseAnimation { duration: (1 - index) * 750 }
            }
            SequentialAnimation on opacity {
                running: root.pulsing
                loops: Animation.Infinite
                PauseAnimation { duration: index * 750 }
                NumberAnimation { from: 0.6; to: 0; duration: 1500; easing.type: Easing.OutQuad }
                PauseAnimation { duration: (1 - index) * 750 }
            }
        }
    }
    Avatar {
        anchors.centerIn: parent
        size: root.size
        source: root.source
    }
}
