import QtQuick
import QtQuick.Layouts
import Orvane.Session

// The settings section: title, divider, then language, theme and call settings.
Item {
    id: view

    property var colors: AppColors.current
    property string language: LanguageManager.language
    readonly property alias content: content

    function tr(ru, en) { return language === "en" ? en : ru }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        PageHeader {
            Layout.fillWidth: true
            colors: view.colors
            title: tr("Настройки", "Settings")
        }

        SettingsContentView {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            colors: view.colors
            language: view.language
        }
    }
}
