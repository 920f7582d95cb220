import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People

// The profile section: title with the sign-out button, then the member's profile.
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
            title: tr("Профиль", "Profile")

            AbstractButton {
                id: logout
                objectName: "logoutButton"
                hoverEnabled: true
                padding: 8
                text: tr("Выйти", "Logout")
                // Signs out at once; the root view shows the login screen by itself.
                onClicked: AuthManager.logout()
                // Qt 6.4 buttons ignore the accessibility "press" action by themselves.
                Accessible.onPressAction: clicked()
                FocusRing {}
                contentItem: Row {
                    spacing: 6
                    Icon {
                        anchors.verticalCenter: parent.verticalCenter
                        name: "rectangle.portrait.and.arrow.right"
                        size: 16
                        color: logout.hovered ? view.colors.foreground : view.colors.mutedForeground
                    }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: logout.text
                        textFormat: Text.PlainText
                        font.pixelSize: 13
                        font.weight: Font.Medium
                        color: logout.hovered ? view.colors.foreground : view.colors.mutedForeground
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: logout.hovered ? Qt.rgba(view.colors.muted.r, view.colors.muted.g, view.colors.muted.b, 0.6) : "transparent"
                }
            }
        }

        ProfileContentView {
            id: content
            Layout.fillWidth: true
            Layout.fillHeight: true
            colors: view.colors
            language: view.language
        }
    }
}
