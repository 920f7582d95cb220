import QtQuick
import Orvane.Session

// A small circular progress indicator.
Item {
    id: root

    property real size: 20
    property color color: AppColors.mutedForeground
    property bool running: visible

    Accessible.ignored: true
    implicitWidth: size
    implicitHeight: size

    Canvas {
        id: arc
        anchors.centerIn: parent
        width: root.size
        height: root.size
        onPaint: {
            const ctx = getContext("2d")
            ctx.reset()
            const w = Math.max(1.5, root.size / 10)
            ctx.lineWidth = w
            ctx.lineCap = "round"
            ctx.strokeStyle = root.color
            ctx.beginPath()
            ctx.arc(width / 2, height / 2, (root.size - w) / 2, 0, Math.PI * 1.5)
            ctx.stroke()
        }
        Connections {
            target: root
            function onColorChanged() { arc.requestPaint() }
            function onSizeChanged() { arc.requestPaint() }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: root.running
        }
    }
}
