import QtQuick
import Orvane.Session

// A pulsing placeholder circle shown while an image loads.
Rectangle {
    id: root

    property real size: 36
    property var colors: AppColors.current

    implicitWidth: size
    implicitHeight: size
    width: size
    height: size
    radius: size / 2
    color: colors.muted

    SequentialAnimation on opacity {
        running: root.visible
        loops: Animation.Infinite
        NumberAnimation { from: 1.0; to: 0.45; duration: 700; easing.type: Easing.InOutQuad }
        NumberAnimation { from: 0.45; to: 1.0; duration: 700; easing.type: Easing.InOutQuad }
    }
}
