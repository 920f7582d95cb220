import QtQuick
import Orvane.Session

// Segmented control of the interface language (tabs "РУС", "ENG", touching).
Rectangle {
    id: root

    property var colors: AppColors.current

    implicitWidth: row.implicitWidth + 6
    implicitHeight: row.implicitHeight + 6
    radius: 8
    color: colors.isDark ? Qt.rgba(1, 1, 1, 0.06) : Qt.rgba(0, 0, 0, 0.04)
    clip: true

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
