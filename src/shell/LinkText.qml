import QtQuick

// Plain text that behaves as a link: pointing hand, underline on hover.
Text {
    textFormat: Text.PlainText
    signal clicked()

    font.pixelSize: 13
    font.underline: hover.hovered

    HoverHandler { id: hover; cursorShape: Qt.PointingHandCursor }
    TapHandler { onTapped: parent.clicked() }
}
