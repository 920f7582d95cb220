import QtQuick
import Orvane.Shell
import QtQuick.Controls.Basic
import Orvane.Session
import Orvane.Ui

// Sign-in screen. Holds only what is typed; the session logic is AuthManager's.
Item {
    id: view
    objectName: "loginView"

    property var colors: ThemeManager.isDark ? AppColors.dark : AppColors.light
    property string language: LanguageManager.language

    property string email: ""
    property string password: ""
    property bool showPassword: false

    readonly property bool fieldsFilled: email.length > 0 && password.length > 0

    function tr(ru, en) { return language === "en" ? en : ru }
    function login() { AuthManager.login(email, password) }

    // Plain positioners rather than QtQuick.Layouts: one plugin less to load before the first frame.
    ProductLogo {
        Accessible.ignored: true
        anchors { left: parent.left; leftMargin: 24; verticalCenter: switchers.verticalCenter }
        height: 24
        wordColor: colors.foreground
    }

    Row {
        id: switchers
        anchors { right: parent.right; top: parent.top; rightMargin: 24; topMargin: 16 }
        spacing: 8
        LanguageSwitcher { colors: view.colors }
        ThemeSwitcher { colors: view.colors }
    }

    Column {
        anchors.centerIn: parent
        width: 320
        spacing: 16

        Text {
            objectName: "loginTitle"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            anchors.horizontalCenter: parent.horizontalCenter
            height: implicitHeight + 8 // a little more air under the title
            text: tr("Вход в систему", "Sign In")
            textFormat: Text.PlainText
            font.pixelSize: 28
            font.bold: true
            color: colors.foreground
        }

        Column {
            width: parent.width
            spacing: 6
            Text { text: "Email"; textFormat: Text.PlainText; font.pixelSize: 13; font.weight: Font.Medium; color: colors.foreground }
            FramedField {
                id: emailField
                objectName: "emailField"
                width: parent.width
                colors: view.colors
                text: view.email
                onTextEdited: view.email = text
                onAccepted: view.login()
                Accessible.name: "Email"
                inputMethodHints: Qt.ImhEmailCharactersOnly | Qt.ImhNoAutoUppercase
            }
        }

        Column {
            width: parent.width
            spacing: 6
            Text {
                objectName: "passwordLabel"
                text: tr("Пароль", "Password")
                textFormat: Text.PlainText
                font.pixelSize: 13
                font.weight: Font.Medium
                color: colors.foreground
            }
            FramedField {
                id: passwordField
                objectName: "passwordField"
                width: parent.width
                colors: view.colors
                text: view.password
                echoMode: view.showPassword ? TextInput.Normal : TextInput.Password
                rightPadding: 36
                onTextEdited: view.password = text
                onAccepted: view.login()
                // Qt withholds the name of a password field; its description (the placeholder, kept
                // invisible) tells a screen reader which field this is.
                Accessible.name: view.tr("Пароль", "Password")
                placeholderText: view.tr("Пароль", "Password")
                placeholderTextColor: "transparent"

                AbstractButton {
                    id: eyeButton
                    objectName: "eyeButton"
                    property string iconName: view.showPassword ? "eye.slash" : "eye"
                    anchors { right: parent.right; verticalCenter: parent.verticalCenter; rightMargin: 4 }
                    width: 28; height: 28
                    focusPolicy: Qt.TabFocus
                    Accessible.onPressAction: clicked()
                    Accessible.name: view.showPassword ? tr("Скрыть пароль", "Hide password") : tr("Показать пароль", "Show password")
                    FocusRing { offset: 0 }
                    contentItem: Icon { name: eyeButton.iconName; size: 16; color: colors.mutedForeground }
                    onClicked: view.showPassword = !view.showPassword
                }
            }
        }

        LinkText {
            objectName: "forgotLink"
            text: tr("Забыли пароль?", "Forgot password?")
            font.pixelSize: 12 // as the footer: each size and weight is a font to set up before the first frame
            color: colors.mutedForeground
            onClicked: AppInfo.openWebPage("/forgot-password")
        }

        Text {
            objectName: "errorLine"
            width: parent.width
            visible: (AuthManager.error || "").length > 0
            text: AuthManager.error || ""
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: 12
            color: "#ef4444"
            // Read out as soon as it appears.
            Accessible.role: Accessible.AlertMessage
            Accessible.name: text
        }

        Button {
            id: signInButton
            objectName: "signInButton"
            width: parent.width
            enabled: view.fieldsFilled && !AuthManager.isLoading
            opacity: view.fieldsFilled ? 1.0 : 0.5
            topPadding: 12; bottomPadding: 12
            onClicked: view.login()
            Accessible.name: tr("Войти", "Sign In")
            Accessible.onPressAction: clicked()
            FocusRing {}

            background: Rectangle {
                radius: 8
                color: colors.primary
            }
            contentItem: Item {
                implicitHeight: 18
                Text {
                    anchors.centerIn: parent
                    visible: !AuthManager.isLoading
                    text: tr("Войти", "Sign In")
                    textFormat: Text.PlainText
                    font.pixelSize: 14
                    font.weight: Font.Medium
                    color: colors.primaryForeground
                }
                Spinner {
                    objectName: "signInSpinner"
                    anchors.centerIn: parent
                    visible: AuthManager.isLoading
                    running: visible
                    size: 16
                    color: colors.primaryForeground
                }
            }
        }

        GlassButton {
            objectName: "registerButton"
            width: parent.width
            colors: view.colors
            text: tr("Регистрация", "Sign Up")
            onClicked: AppInfo.openWebPage("/register")
        }
    }

    Column {
        anchors { horizontalCenter: parent.horizontalCenter; bottom: parent.bottom; bottomMargin: 16 }
        spacing: 2
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "© 2026 TheOrvane"
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: colors.mutedForeground
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "v" + AppInfo.version
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: colors.mutedForeground
        }
    }
}
