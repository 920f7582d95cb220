import QtQuick
import QtQuick.Controls.Basic
import Orvane.Ui

// A 32 × 32 symbol button of the composer's row, with a tooltip.
AbstractButton {
    id: control

    property string iconName
    property real iconSize: 16
    property color iconColor: "#71717a"
    property string tooltip

    implicitWidth: 32
    implicitHeight: 32
    padding: 0
    hoverEnabled: true
    // Reached by Tab; a click leaves the focus in the editor.
    focusPolicy: Qt.TabFocus
    Accessible.name: tooltip
    // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
    Accessible.onPressAction: clicked()

    contentItem: Item {
        Icon {
            anchors.centerIn: parent
            name: control.iconName
            size: control.iconSize
            color: control.iconColor
        }
    }

    background: Rectangle {
        radius: 8
        color: control.hovered && control.enabled ? Qt.rgba(0.5, 0.5, 0.5, 0.12) : "transparent"
    }

    ToolTip.visible: hovered && tooltip.length > 0
    ToolTip.text: tooltip
    ToolTip.delay: 600
    FocusRing {}
}
