import QtQuick
import QtQuick.Controls.Basic
import Orvane.Session

// One tab of the language switcher; its label names its own language ("РУС", "ENG").
AbstractButton {
    id: control

    property string lang: "ru"
    property bool isSelected: false
    property var colors: AppColors.current

    text: lang === "en" ? "ENG" : "РУС"
    leftPadding: 10
    rightPadding: 10
    topPadding: 6
    bottomPadding: 6
    font.pixelSize: 12
    font.weight: Font.Medium
    Accessible.name: lang === "en" ? "English" : "Русский"
    // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
    Accessible.onPressAction: clicked()
    Accessible.checkable: true
    Accessible.checked: isSelected

    // The switcher clips: the ring goes inside.
    FocusRing { offset: -1; radius: 6 }

    contentItem: Text {
        text: control.text
        textFormat: Text.PlainText
        font: control.font
        color: control.colors.foreground
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    background: Rectangle {
        radius: 6
        color: control.isSelected
               ? Qt.rgba(control.colors.muted.r, control.colors.muted.g, control.colors.muted.b, 0.5)
               : "transparent"
    }
}
