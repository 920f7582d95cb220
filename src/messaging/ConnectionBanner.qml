import QtQuick
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Session
import Orvane.Ui

// A thin strip shown while the server cannot be reached; the polls keep trying meanwhile.
Rectangle {
    id: banner

    property var colors: AppColors.current
    property string language: LanguageManager.language

    function tr(ru, en) { return language === "en" ? en : ru }

    visible: ConnectionStatus.offline
    implicitHeight: visible ? 28 : 0
    color: colors.isDark ? "#3B2F0B" : "#FEF3C7"

    RowLayout {
        anchors.centerIn: parent
        spacing: 6
        Icon {
            name: "exclamationmark.triangle.fill"
            size: 12
            color: banner.colors.isDark ? "#FBBF24" : "#B45309"
        }
        Text {
            objectName: "connectionBannerText"
            text: banner.tr("Нет соединения. Повторяем…", "No connection. Retrying…")
            textFormat: Text.PlainText
            font.pixelSize: 12
            font.weight: Font.Medium
            color: banner.colors.isDark ? "#FDE68A" : "#92400E"
        }
    }
}
