import QtQuick
import Orvane.Session

// Segmented control of the theme (light, dark; tabs 2 apart).
Rectangle {
    id: root

    property var colors: AppColors.current

    implicitWidth: row.implicitWidth + 6
    implicitHeight: row.implicitHeight + 6
    radius: 8
    // Frosted surface: lighter than the page in the light theme, so the selected tab (muted at 50 %) stands out.
    color: colors.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(1, 1, 1, 0.7)
    border.width: 1
    border.color: colors.isDark ? Qt.rgba(1, 1, 1, 0.08) : Qt.rgba(0, 0, 0, 0.06)
    clip: true
    Accessible.role: Accessible.Grouping
    Accessible.name: LanguageManager.language === "en" ? "Theme" : "Тема"

    Row {
        id: row
        x: 3
        y: 3
        spacing: 2
        Repeater {
            model: ["light", "dark"]
            ThemeTabButton {
                required property string modelData
                objectName: "themeTab_" + modelData
                mode: modelData
                isSelected: ThemeManager.mode === modelData
                colors: root.colors
                onClicked: ThemeManager.mode = modelData
            }
        }
    }
}
