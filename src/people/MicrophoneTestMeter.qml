import QtQuick

// The microphone meter: twenty bars, green, then yellow, then red; bar i is lit when i / 20 < level.
// With a monitor, the rule is the monitor's own (its level is single precision: 0.05 lights one bar).
Item {
    id: meter

    property var monitor: null
    property real level: monitor ? monitor.level : 0

    implicitHeight: 8

    Row {
        anchors.fill: parent
        spacing: 2
        Repeater {
            model: 20
            Rectangle {
                required property int index
                readonly property bool lit: meter.monitor ? meter.monitor.isBarLit(index, meter.level)
                                                          : index / 20 < meter.level
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
