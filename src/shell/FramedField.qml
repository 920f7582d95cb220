import QtQuick
import QtQuick.Controls.Basic

// A single-line field in a rounded 1-point frame that darkens while focused.
TextField {
    required property var colors

    font.pixelSize: 14
    color: colors.foreground
    selectionColor: colors.ring
    selectedTextColor: colors.primaryForeground
    placeholderText: ""
    leftPadding: 12
    topPadding: 9; bottomPadding: 9
    background: Rectangle {
        radius: 8
        color: colors.card
        border.width: 1
        border.color: parent.activeFocus ? colors.ring : colors.input
    }
}
