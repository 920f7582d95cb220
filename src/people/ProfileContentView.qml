import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.People

// The member's profile: loading, the error with Retry, or avatar, name, "@" line, website button
// and the six-row table. One load each time it is shown.
Item {
    id: view

    property var colors: AppColors.current
    property string language: LanguageManager.language
    readonly property alias model: profile

    function tr(ru, en) { return language === "en" ? en : ru }

    ProfileModel { id: profile }

    Component.onCompleted: if (visible) profile.load()
    onVisibleChanged: if (visible) profile.load()

    StateMessage {
        objectName: "loadingState"
        anchors.fill: parent
        visible: profile.isLoading
        colors: view.colors
        busy: true
        text: tr("Загрузка...", "Loading...")
    }

    StateMessage {
        objectName: "errorState"
        anchors.fill: parent
        visible: !profile.isLoading && profile.errorMessage.length > 0
        colors: view.colors
        symbol: "exclamationmark.triangle"
        symbolColor: "#F97316"
        text: profile.errorMessage

        GlassButton {
            objectName: "retryButton"
            colors: view.colors
            text: tr("Повторить", "Retry")
            onClicked: profile.load()
        }
    }

    Flickable {
        id: page
        objectName: "profileView"
        anchors.fill: parent
        visible: !profile.isLoading && profile.errorMessage.length === 0 && profile.hasProfile
        contentWidth: width
        contentHeight: column.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ColumnLayout {
            id: column
            x: Math.max(24, (page.width - width) / 2)
            y: 24
            width: Math.min(page.width - 48, 520)
            spacing: 8

            Avatar {
                objectName: "profileAvatar"
                Layout.alignment: Qt.AlignHCenter
                size: 80
                source: profile.avatarURL
                colors: view.colors
            }

            Text {
                objectName: "nameLine"
                Accessible.role: Accessible.Heading
                Accessible.name: text
                Layout.fillWidth: true
                Layout.topMargin: 6
                text: profile.nameLine
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                font.pixelSize: 22
                font.weight: Font.DemiBold
                color: view.colors.foreground
            }

            Text {
                objectName: "usernameLine"
                Accessible.role: Accessible.StaticText
                Accessible.name: text
                Layout.fillWidth: true
                visible: profile.hasUsername
                text: "@" + profile.username
                textFormat: Text.PlainText
                horizontalAlignment: Text.AlignHCenter
                font.pixelSize: 14
                color: view.colors.mutedForeground
            }

            AbstractButton {
                id: website
                objectName: "websiteButton"
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: 4
                visible: profile.hasUsername
                hoverEnabled: true
                leftPadding: 14; rightPadding: 14; topPadding: 7; bottomPadding: 7
                text: tr("На сайте", "Website")
                scale: down ? 0.97 : 1.0
                onClicked: profile.openWebsite()
                Accessible.onPressAction: clicked()
                FocusRing {}
                contentItem: Row {
                    spacing: 6
                    Icon { anchors.verticalCenter: parent.verticalCenter; name: "safari"; size: 15; color: "white" }
                    Text {
                        anchors.verticalCenter: parent.verticalCenter
                        text: website.text
                        textFormat: Text.PlainText
                        font.pixelSize: 13
                        font.weight: Font.Medium
                        color: "white"
                    }
                }
                background: Rectangle {
                    radius: 8
                    color: website.hovered ? "#262626" : "#171717"
                    border.width: view.colors.isDark ? 1 : 0
                    border.color: view.colors.border
                }
            }

            Card {
                objectName: "profileTable"
                Layout.fillWidth: true
                Layout.topMargin: 16
                Layout.preferredHeight: table.implicitHeight
                colors: view.colors

                Column {
                    id: table
                    width: parent.width
                    Repeater {
                        model: profile.rows
                        ProfileTableRow {
                            required property var modelData
                            required property int index
                            objectName: "profileRow" + index
                            width: table.width
                            colors: view.colors
                            title: view.tr(modelData.titleRu, modelData.titleEn)
                            value: modelData.value
                            isLast: modelData.isLast
                        }
                    }
                }
            }
        }
    }
}
