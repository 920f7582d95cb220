import QtQuick
import Orvane.Shell
import QtQuick.Controls.Basic
import QtQuick.Window
import Orvane.Ui

// The About window: name, version, build, copyright and a link to the web site.
Window {
    id: panel

    required property var colors

    title: "О приложении " + AppInfo.productName
    width: 340; height: 260
    minimumWidth: width; maximumWidth: width
    minimumHeight: height; maximumHeight: height
    flags: Qt.Dialog
    modality: Qt.ApplicationModal
    color: colors.background

    Column {
        anchors.centerIn: parent
        spacing: 8

        ProductLogo { anchors.horizontalCenter: parent.horizontalCenter; height: 40; wordColor: colors.foreground }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: AppInfo.productName
            Accessible.role: Accessible.Heading
            Accessible.name: text
            textFormat: Text.PlainText
            font.pixelSize: 16; font.bold: true
            color: colors.foreground
        }
        Text {
            objectName: "aboutVersion"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            anchors.horizontalCenter: parent.horizontalCenter
            text: AppInfo.version + " (" + AppInfo.buildVersion + ")"
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: colors.mutedForeground
        }
        Text {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "© 2026 TheOrvane. All rights reserved."
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            textFormat: Text.PlainText
            font.pixelSize: 12
            color: colors.mutedForeground
        }
        LinkText {
            anchors.horizontalCenter: parent.horizontalCenter
            text: AppInfo.webUrl.toString().replace(/^https?:\/\//, "").replace(/\/$/, "")
            font.pixelSize: 12
            color: colors.foreground
            onClicked: AppInfo.openWebPage("/")
        }
    }
}
