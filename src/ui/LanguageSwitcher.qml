import QtQuick
import Orvane.Session

// Segmented control of the interface language (tabs "РУС", "ENG", touching).
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
    Accessible.name: LanguageManager.language === "en" ? "Language" : "Язык"

    Row {
        id: row
        x: 3
        y: 3
        spacing: 0
        Repeater {
            model: ["ru", "en"]
            LangTabButton {
                required property string modelData
                objectName: "langTab_" + modelData
                lang: modelData
                isSelected: LanguageManager.language === modelData
                colors: root.colors
                onClicked: LanguageManager.language = modelData
            }
        }
    }
}
