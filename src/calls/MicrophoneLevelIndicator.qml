import QtQuick

// An input level (0..1) as twenty bars: green, then yellow from bar 12, red from bar 16.
Item {
    id: meter

    property real level: 0
    readonly property int litBars: {
        let lit = 0
        for (let i = 0; i < 20; ++i)
            lit += isLit(i) ? 1 : 0
        return lit
    }

    // Bar i is lit when i / 20 < level, compared in single precision as the level is measured:
    // 0.05 lights one bar, 0.051 two.
    function isLit(i) { return Math.fround(i / 20) < Math.fround(level) }

    implicitWidth: 200
    implicitHeight: 8

    Row {
        anchors.fill: parent
        spacing: 2
        Repeater {
            model: 20
            Rectangle {
                required property int index
                readonly property bool lit: meter.isLit(index)
                objectName: "bar" + index
                width: Math.max(0, (meter.width - 38) / 20)
                height: meter.height
                radius: 2
                color: !lit ? Qt.rgba(0.5, 0.5, 0.5, 0.3)
                     : index >= 16 ? "#EF4444" : index >= 12 ? "#EAB308" : "#22C55E"
            }
        }
    }
}
