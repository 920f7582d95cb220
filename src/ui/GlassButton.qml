import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session

// The shared translucent button: its label on a frosted rounded surface (radius 8), shrinking to
// 0.97 around its centre while pressed.
Button {
    id: control

    property var colors: AppColors.current
    property real radius: 8
    property color textColor: colors.foreground

    leftPadding: 14
    rightPadding: 14
    topPadding: 8
    bottomPadding: 8
    font.pixelSize: 13
    font.weight: Font.Medium
    scale: down ? 0.97 : 1.0
    transformOrigin: Item.Center
    hoverEnabled: true
    // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
    Accessible.onPressAction: clicked()
    FocusRing {}

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.textColor
        opacity: control.enabled ? 1.0 : 0.5
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    background: Rectangle {
        implicitHeight: 32
        radius: control.radius
        color: {
            const base = control.colors.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.55)
            if (!control.hovered)
                return base
            return control.colors.isDark ? Qt.rgba(1, 1, 1, 0.10) : Qt.rgba(0, 0, 0, 0.04)
        }
        border.width: 1
        border.color: control.colors.isDark ? Qt.rgba(1, 1, 1, 0.10) : Qt.rgba(0, 0, 0, 0.08)
    }
}
