import QtQuick
import Orvane.Shell
import QtQuick.Controls.Basic
import Orvane.Session

// The one main window.
ApplicationWindow {
    id: window

    readonly property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light

    width: 1200; height: 800
    minimumWidth: 900; minimumHeight: 600
    visible: true
    title: AppInfo.windowTitle(LanguageManager.language)
    color: colors.background

    menuBar: MenuBar {
        background: Rectangle {
            implicitHeight: 26
            color: window.colors.secondary
            Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: window.colors.border }
        }
        delegate: MenuBarItem {
            id: barItem
            contentItem: Text {
                text: barItem.text
                font.pixelSize: 12
                color: window.colors.foreground
            }
            background: Rectangle { color: barItem.highlighted ? window.colors.accent : "transparent"; radius: 4 }
        }
        Menu {
            title: AppInfo.productName
            Action {
                text: "О приложении " + AppInfo.productName
                onTriggered: aboutLoader.active = true
            }
            MenuSeparator {}
            Action {
                text: LanguageManager.language === "en" ? "Quit" : "Выход"
                shortcut: StandardKey.Quit
                onTriggered: Qt.quit()
            }
        }
    }

    ContentView { anchors.fill: parent }

    // Built on first use: a second window costs start-up time nobody asked for.
    Loader {
        id: aboutLoader
        active: false
        sourceComponent: AboutPanel {
            colors: window.colors
            visible: true
            onClosing: aboutLoader.active = false
        }
    }
}
