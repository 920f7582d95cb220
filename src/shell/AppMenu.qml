import QtQuick
import QtQuick.Controls.Basic
import Orvane.Shell
import Orvane.Session

// The application menu: About, then Quit. Its own file so that its types load on first use only.
Menu {
    signal aboutRequested()

    Action {
        text: "О приложении " + AppInfo.productName
        onTriggered: aboutRequested()
    }
    MenuSeparator {}
    Action {
        text: LanguageManager.language === "en" ? "Quit" : "Выход"
        onTriggered: Qt.quit()
    }
}
