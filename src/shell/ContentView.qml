import QtQuick
import Orvane.Session

// Root of the main window: loading screen during the token check, then login or the signed-in window.
// The screens load by address, so start-up compiles only the one on screen.
Rectangle {
    id: root

    readonly property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light

    color: colors.background

    Loader {
        id: screen
        objectName: "screenLoader"
        anchors.fill: parent
        source: AuthManager.isCheckingToken ? "LoadingView.qml"
              : AuthManager.isAuthenticated ? "AuthenticatedView.qml" : "LoginView.qml"
    }
}
