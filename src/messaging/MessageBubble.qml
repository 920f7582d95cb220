import QtQuick
import QtQuick.Layouts
import Orvane.Messaging
import Orvane.Session
import Orvane.Ui

// One message: own messages on the right in a grey bubble, the friend's on the left in a lighter one; a
// card for a file, the text (selectable), the clock time and, for own messages, the read mark.
Item {
    id: bubble

    required property string messageId
    required property bool isMine
    required property bool isRead
    required property string time
    required property string cardKind   // "download", "unavailable" or ""
    required property string cardUrl
    required property string cardName
    required property string cardIcon
    required property string bodyText
    required property string thumbnailUrl

    property var colors: AppColors.current
    property string language: LanguageManager.language
    // The fills stay light in both themes, so the text keeps a dark ink of its own.
    readonly property color ink: "#171717"
    // Who wrote a friend's message, for screen readers; own messages read as "Вы"/"You".
    property string senderName
    // A long text shows its start until the member asks for the rest: laying out 64 KiB at once
    // holds the window up for longer than a frame.
    readonly property int shownLength: 4000
    property bool expanded: false
    readonly property bool collapsed: !expanded && bodyText.length > shownLength
    function tr(ru, en) { return language === "en" ? en : ru }

    Accessible.role: Accessible.ListItem
    Accessible.name: (isMine ? tr("Вы", "You") : (senderName || tr("Собеседник", "Friend"))) + ": "
                     + [cardName, bodyText].filter(s => s.length > 0).join(", ")
    Accessible.description: [time].concat(isMine ? [isRead ? tr("прочитано", "read") : tr("не прочитано", "not read yet")] : [])
                            .filter(s => s.length > 0).join(", ")
    FocusRing { target: box; radius: 16 + offset }

    implicitHeight: box.height
    implicitWidth: box.width

    Rectangle {
        id: box
        objectName: "bubbleBox"
        anchors.right: bubble.isMine ? parent.right : undefined
        anchors.left: bubble.isMine ? undefined : parent.left
        width: Math.min(bubble.width * 0.75, content.implicitWidth + 24)
        height: content.implicitHeight + 16
        radius: 16
        color: bubble.isMine ? "#E6E6E6" : "#F4F4F5"

        ColumnLayout {
            id: content
            anchors { left: parent.left; right: parent.right; top: parent.top; margins: 12; topMargin: 8 }
            spacing: 4

            ThumbnailImage {
                id: thumbnail
                objectName: "thumbnail"
                source: bubble.thumbnailUrl
                visible: status === ThumbnailImage.Ready
                // Narrow windows shrink it, aspect kept.
                readonly property real shownWidth: Math.min(implicitWidth, Math.max(0, bubble.width * 0.75 - 24))
                Layout.preferredWidth: visible ? shownWidth : 0
                Layout.preferredHeight: visible && implicitWidth > 0 ? implicitHeight * shownWidth / implicitWidth : 0
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                HoverHandler { cursorShape: Qt.PointingHandCursor }
                TapHandler { onTapped: LinkOpener.open(bubble.cardUrl) }
            }
            DownloadCard {
                objectName: "downloadCard"
                visible: bubble.cardKind === "download"
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                url: bubble.cardUrl
                fileName: bubble.cardName
                icon: bubble.cardIcon
                colors: ({ foreground: bubble.ink })
                language: bubble.language
            }
            UnavailableCard {
                objectName: "unavailableCard"
                visible: bubble.cardKind === "unavailable"
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                fileName: bubble.cardName
                icon: bubble.cardIcon
                colors: ({ foreground: bubble.ink, mutedForeground: "#71717A" })
                language: bubble.language
            }
            TextEdit {
                id: textEdit
                objectName: "messageText"
                Accessible.role: Accessible.StaticText
                Accessible.selectableText: true
                Accessible.name: bubble.bodyText
                visible: bubble.bodyText.length > 0
                Layout.fillWidth: true
                Layout.maximumWidth: bubble.width * 0.75 - 24
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                text: bubble.collapsed ? TextStart.upTo(bubble.bodyText, bubble.shownLength) : bubble.bodyText
                textFormat: TextEdit.PlainText
                readOnly: true
                selectByMouse: true
                selectByKeyboard: true
                // Word wrapping searches a run without break opportunities anew for each line: slow on very long ones.
                wrapMode: /\S{1000}/.test(bubble.bodyText) ? TextEdit.WrapAnywhere : TextEdit.Wrap
                font.pixelSize: 14
                color: bubble.ink
                selectionColor: "#93C5FD"
                selectedTextColor: bubble.ink
            }
            Loader {
                active: bubble.collapsed
                visible: active
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                sourceComponent: LinkText {
                    objectName: "showMoreButton"
                    text: bubble.tr("Показать полностью", "Show more")
                    font.weight: Font.Medium
                    color: "#2563EB"
                    Accessible.role: Accessible.Button
                    // From the keyboard, focus goes on to the text that takes this button's place.
                    onClicked: {
                        const hadFocus = activeFocus
                        bubble.expanded = true
                        if (hadFocus)
                            textEdit.forceActiveFocus()
                    }
                }
            }
            RowLayout {
                Layout.alignment: bubble.isMine ? Qt.AlignRight : Qt.AlignLeft
                spacing: 4
                Text {
                    objectName: "timeText"
                    text: bubble.time
                    textFormat: Text.PlainText
                    visible: text.length > 0
                    font.pixelSize: 10
                    color: "#71717A"
                }
                Icon {
                    objectName: "readMark"
                    visible: bubble.isMine
                    name: bubble.isRead ? "checkmark.circle.fill" : "checkmark"
                    size: 10
                    color: "#71717A"
                }
            }
        }
    }
}
