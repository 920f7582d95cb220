import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session

// One tab of the theme switcher: the mode's symbol, and its name only while selected.
AbstractButton {
    id: control

    property string mode: "light"
    property bool isSelected: false
    property string language: LanguageManager.language
    property var colors: AppColors.current

    text: ThemeManager.displayName(mode, language)
    leftPadding: isSelected ? 10 : 8
    rightPadding: isSelected ? 10 : 8
    topPadding: 6
    bottomPadding: 6
    font.pixelSize: 12
    font.weight: Font.Medium
    // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
    Accessible.onPressAction: clicked()
    Accessible.checkable: true
    Accessible.checked: isSelected

    // The switcher clips: the ring goes inside.
    FocusRing { offset: -1; radius: 6 }

    contentItem: Row {
        spacing: 4
        Icon {
            anchors.verticalCenter: parent.verticalCenter
            name: ThemeManager.iconName(control.mode)
            size: 12
            color: control.colors.foreground
        }
        Text {
            objectName: "themeTabLabel"
            anchors.verticalCenter: parent.verticalCenter
            visible: control.isSelected
            text: control.text
            textFormat: Text.PlainText
            font: control.font
            color: control.colors.foreground
        }
    }

    background: Rectangle {
        radius: 6
        color: control.isSelected
               ? Qt.rgba(control.colors.muted.r, control.colors.muted.g, control.colors.muted.b, 0.5)
               : "transparent"
    }
}
