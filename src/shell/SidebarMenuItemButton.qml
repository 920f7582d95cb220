import QtQuick
import Orvane.Ui

// One square section button of the icon sidebar, with the unread badge on its top-right corner.
Item {
    id: button

    required property int item              // MainNavigation.MainMenuItem
    required property bool isSelected
    required property var colors
    required property string language
    property int badgeCount: 0
    property color activeBackgroundColor: "#E6E6E6"
    signal action()

    readonly property var fallbackSymbols: ["bubble.left.fill", "person.2.fill", "gearshape.fill", "person.circle.fill"]
    readonly property string badgeText: badgeCount >= 1 ? String(Math.min(badgeCount, 99)) : ""

    width: 40; height: 40
    readonly property var sectionNames: [["Сообщения", "Messages"], ["Друзья", "Friends"], ["Настройки", "Settings"], ["Профиль", "Profile"]]
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: sectionNames[item][language === "en" ? 1 : 0]
    Accessible.description: badgeCount >= 1 ? (language === "en" ? badgeCount + " unread" : badgeCount + " непрочитанных") : ""
    Accessible.checkable: true
    Accessible.checked: isSelected
    Accessible.onPressAction: action()
    Keys.onSpacePressed: action()
    Keys.onReturnPressed: action()
    FocusRing {}

    Rectangle {
        anchors.fill: parent
        radius: 8
        color: button.isSelected ? button.activeBackgroundColor : "transparent"
    }

    Icon {
        anchors.centerIn: parent
        name: button.fallbackSymbols[button.item]
        size: 20
        color: button.isSelected ? "#171717" : button.colors.mutedForeground
    }

    Rectangle {
        objectName: "badge"
        visible: button.badgeText.length > 0
        width: Math.max(16, badgeLabel.implicitWidth + 8)
        height: 16
        radius: 8
        x: 32 - width / 2
        y: 8 - height / 2
        color: "#171717"
        Text {
            id: badgeLabel
            objectName: "badgeLabel"
            anchors.centerIn: parent
            text: button.badgeText
            textFormat: Text.PlainText
            color: "white"
            font.pixelSize: 9
            font.bold: true
            Accessible.ignored: true
        }
    }

    HoverHandler { cursorShape: Qt.PointingHandCursor }
    TapHandler { onTapped: button.action() }
}
