import QtQuick
import Orvane.Session

// Root of the main window: loading screen during the token check, then login or the signed-in window.
Rectangle {
    id: root

    readonly property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
    readonly property string language: LanguageManager.language

    color: colors.background

    Loader {
        anchors.fill: parent
        sourceComponent: AuthManager.isCheckingToken ? loading
                       : AuthManager.isAuthenticated ? signedIn : signedOut
    }

    Component { id: loading; LoadingView { colors: root.colors; language: root.language } }
    Component { id: signedOut; LoginView { colors: root.colors; language: root.language } }
    Component { id: signedIn; AuthenticatedView { colors: root.colors; language: root.language } }
}
