import QtQuick
import Orvane.Ui

// A symbol by name (see Icons): `Icon { name: "eye.slash"; size: 16; color: colors.mutedForeground }`.
Text {
    id: root

    property string name
    property real size: 16
    readonly property bool known: Icons.isKnown(name)

    width: size
    height: size
    text: Icons.glyph(name)
    textFormat: Text.PlainText
    font.family: Icons.fontFamily
    font.pixelSize: size
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    // A symbol is decoration: the control around it carries the name.
    Accessible.ignored: true
}
