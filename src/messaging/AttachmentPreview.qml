import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Session
import Orvane.Ui

// The file attached to the next message: its state, name and size, retry when the upload failed, remove.
Rectangle {
    id: preview

    // The attachment map of ChatController.attachedFile.
    property var file
    property var colors: AppColors.current
    property string language: LanguageManager.language

    signal retry()
    signal remove()

    function tr(ru, en) { return language === "en" ? en : ru }

    readonly property string status: file ? file.uploadStatus : ""
    readonly property string statusText: {
        switch (status) {
        case "uploading": return tr("Загрузка...", "Uploading...")
        case "uploaded": return tr("Готово", "Ready")
        case "failed": return file.uploadError ? file.uploadError : tr("Ошибка", "Error")
        default: return ""
        }
    }

    implicitHeight: 48
    radius: 10
    color: colors.muted
    Accessible.role: Accessible.Grouping
    Accessible.name: tr("Вложение: ", "Attachment: ") + (file ? file.name : "") + (statusText.length > 0 ? ", " + statusText : "")

    RowLayout {
        anchors { fill: parent; leftMargin: 10; rightMargin: 10 }
        spacing: 8

        Item {
            objectName: "statusMark"
            implicitWidth: 28
            implicitHeight: 28
            Spinner {
                objectName: "uploadingMark"
                anchors.centerIn: parent
                visible: preview.status === "uploading"
                size: 24 * 0.8
                color: "#3B82F6"
            }
            Icon {
                objectName: "uploadedMark"
                anchors.centerIn: parent
                visible: preview.status === "uploaded"
                name: "checkmark.circle.fill"
                size: 20
                color: "#22C55E"
            }
            Icon {
                objectName: "failedMark"
                anchors.centerIn: parent
                visible: preview.status === "failed"
                name: "exclamationmark.triangle.fill"
                size: 20
                color: "#EF4444"
            }
            Icon {
                objectName: "pendingMark"
                anchors.centerIn: parent
                visible: preview.status === "pending"
                name: preview.file ? preview.file.icon : "doc"
                size: 20
                color: "#3B82F6"
            }
        }

        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text {
                objectName: "fileName"
                Layout.fillWidth: true
                text: preview.file ? preview.file.name : ""
                textFormat: Text.PlainText
                elide: Text.ElideMiddle
                font.pixelSize: 13
                color: colors.foreground
            }
            Text {
                objectName: "fileDetails"
                Layout.fillWidth: true
                elide: Text.ElideRight
                textFormat: Text.PlainText
                text: {
                    const size = preview.file ? ChatFormat.fileSize(preview.file.size) : ""
                    return preview.status === "pending" || preview.statusText.length === 0
                        ? size : size + " • " + preview.statusText
                }
                font.pixelSize: 11
                color: preview.status === "uploading" ? "#3B82F6"
                     : preview.status === "failed" ? "#EF4444" : colors.mutedForeground
            }
        }

        Item {
            objectName: "retryButton"
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: tr("Повторить загрузку", "Retry upload")
            Accessible.onPressAction: preview.retry()
            Keys.onSpacePressed: preview.retry()
            Keys.onReturnPressed: preview.retry()
            FocusRing {}
            visible: preview.status === "failed"
            implicitWidth: 24
            implicitHeight: 24
            Icon { anchors.centerIn: parent; name: "arrow.clockwise"; size: 14; color: "#3B82F6" }
            HoverHandler { id: retryHover; cursorShape: Qt.PointingHandCursor }
            TapHandler { onTapped: preview.retry() }
            ToolTip.visible: retryHover.hovered
            ToolTip.delay: 600
            ToolTip.text: tr("Повторить загрузку", "Retry upload")
        }
        Item {
            objectName: "removeButton"
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: tr("Убрать файл", "Remove file")
            Accessible.onPressAction: preview.remove()
            Keys.onSpacePressed: preview.remove()
            Keys.onReturnPressed: preview.remove()
            FocusRing {}
            implicitWidth: 24
            implicitHeight: 24
            Icon { anchors.centerIn: parent; name: "xmark.circle.fill"; size: 16; color: colors.mutedForeground }
            HoverHandler { cursorShape: Qt.PointingHandCursor }
            TapHandler { onTapped: preview.remove() }
        }
    }
}
