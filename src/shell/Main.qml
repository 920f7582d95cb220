import QtQuick
import Orvane.Shell
import QtQuick.Controls.Basic
import Orvane.Session
import Orvane.Ui

// The one main window.
ApplicationWindow {
    id: window

    readonly property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light

    width: 1200; height: 800
    minimumWidth: 900; minimumHeight: 600
    visible: true
    title: AppInfo.windowTitle(LanguageManager.language)
    color: colors.background

    // The application menu. A plain bar whose menu is built on first use: Qt Quick's MenuBar builds
    // every menu with the window, which costs more start-up time than the rest of the login screen.
    menuBar: Rectangle {
        implicitHeight: 26
        color: window.colors.secondary
        Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: window.colors.border }

        Rectangle {
            id: appMenuButton
            objectName: "appMenuButton"
            readonly property bool open: appMenu.item ? appMenu.item.visible : false
            x: 4; y: 2
            width: appMenuLabel.implicitWidth + 16; height: 22
            radius: 4
            activeFocusOnTab: true
            Accessible.role: Accessible.ButtonMenu
            Accessible.name: AppInfo.productName
            Accessible.onPressAction: openMenu()
            Keys.onSpacePressed: openMenu()
            Keys.onReturnPressed: openMenu()
            function openMenu() {
                appMenu.active = true
                appMenu.item.popup(appMenuButton, 0, appMenuButton.height)
            }
            FocusRing { offset: 0; radius: 4 }
            color: open || appMenuMouse.containsMouse ? window.colors.accent : "transparent"
            Text {
                id: appMenuLabel
                anchors.centerIn: parent
                text: AppInfo.productName
                textFormat: Text.PlainText
                font.pixelSize: 12
                color: window.colors.foreground
            }
            MouseArea {
                id: appMenuMouse
                anchors.fill: parent
                hoverEnabled: true
                onClicked: {
                    appMenu.active = true
                    appMenu.item.popup(appMenuButton, 0, appMenuButton.height)
                }
            }
        }
        // Loaded by address, like the About window: a type named here would load with the window.
        Loader {
            id: appMenu
            objectName: "appMenu"
            active: false
            source: "AppMenu.qml"
        }
        Connections {
            target: appMenu.item
            function onAboutRequested() { aboutLoader.open() }
        }
    }

    Shortcut {
        sequences: [StandardKey.Quit]
        onActivated: Qt.quit()
    }

    ContentView { anchors.fill: parent }
    // The list of keyboard shortcuts; built on first use.
    Shortcut {
        sequences: ["F1", "Ctrl+/"]
        onActivated: {
            shortcutsHelp.active = true
            shortcutsHelp.item.open()
        }
    }
    Loader {
        id: shortcutsHelp
        objectName: "shortcutsHelp"
        active: false
        anchors.fill: parent
        source: "KeyboardShortcutsPopup.qml"
    }

    // Built on first use: a second window costs start-up time nobody asked for.
    Loader {
        id: aboutLoader
        objectName: "aboutLoader"
        function open() {
            if (!item)
                setSource("AboutPanel.qml", { colors: window.colors })
            item.visible = true
            item.raise()
        }
        Binding { target: aboutLoader.item; property: "colors"; value: window.colors; when: aboutLoader.item !== null }
        Connections {
            target: aboutLoader.item
            function onClosing() { aboutLoader.source = "" }
        }
    }
}
