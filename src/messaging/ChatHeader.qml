import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui

// The chat's top bar: sidebar toggle, the friend's name, and the call button.
Rectangle {
    id: header

    property var colors: AppColors.current
    property string language: LanguageManager.language
    property string title
    property bool showSidebarToggle: true
    property bool isSidebarCollapsed: false
    property bool isCalling: false

    signal toggleSidebar()
    signal callClicked()

    function tr(ru, en) { return language === "en" ? en : ru }

    implicitHeight: 56
    color: colors.background

    RowLayout {
        anchors { fill: parent; leftMargin: 16; rightMargin: 16 }
        spacing: 12

        Item {
            objectName: "sidebarToggle"
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: header.isSidebarCollapsed ? tr("Показать список", "Show list") : tr("Скрыть список", "Hide list")
            Accessible.onPressAction: header.toggleSidebar()
            Keys.onSpacePressed: header.toggleSidebar()
            Keys.onReturnPressed: header.toggleSidebar()
            FocusRing {}
            visible: header.showSidebarToggle
            implicitWidth: 28
            implicitHeight: 28
            Icon {
                anchors.centerIn: parent
                name: "sidebar.left"
                size: 14
                color: colors.mutedForeground
            }
            HoverHandler { id: toggleHover; cursorShape: Qt.PointingHandCursor }
            TapHandler { onTapped: header.toggleSidebar() }
            ToolTip.visible: toggleHover.hovered
            ToolTip.delay: 600
            ToolTip.text: header.isSidebarCollapsed ? tr("Показать список", "Show list") : tr("Скрыть список", "Hide list")
        }

        Text {
            objectName: "friendName"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            Layout.fillWidth: true
            text: TextStart.oneLine(header.title)
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: 15
            font.weight: Font.Medium
            color: colors.foreground
        }

        Item {
            objectName: "callButton"
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: tr("Позвонить", "Call") + " " + header.title
            Accessible.onPressAction: header.callClicked()
            Keys.onSpacePressed: header.callClicked()
            Keys.onReturnPressed: header.callClicked()
            FocusRing {}
            implicitWidth: 32
            implicitHeight: 32
            Icon {
                anchors.centerIn: parent
                name: "phone.fill"
                size: 14
                color: header.isCalling ? "#EF4444" : "#22C55E"
            }
            HoverHandler { cursorShape: Qt.PointingHandCursor }
            TapHandler { onTapped: header.callClicked() }
        }
    }

    Rectangle {
        anchors { left: parent.left; right: parent.right; bottom: parent.bottom }
        height: 1
        color: colors.border
    }
}
