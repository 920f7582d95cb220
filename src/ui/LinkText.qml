import QtQuick

// Plain text that behaves as a link: pointing hand, underline on hover.
Text {
    textFormat: Text.PlainText
    signal clicked()

    font.pixelSize: 13
    font.underline: hover.hovered
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: text
    Accessible.onPressAction: clicked()
    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()
    FocusRing { offset: 2; radius: 4 }

    HoverHandler { id: hover; cursorShape: Qt.PointingHandCursor }
    TapHandler { onTapped: parent.clicked() }
}
