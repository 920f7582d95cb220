import QtQuick
import Orvane.Ui

// A round call control with its caption below.
Item {
    id: root

    property string icon
    property string label
    property color iconColor: "white"
    property color bgColor: "#444"
    property color borderColor: "transparent"
    signal clicked()
    // What a screen reader says; the caption alone ("On", "Off") names a state, not the button.
    property string accessibleName: label

    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: accessibleName
    Accessible.onPressAction: clicked()
    Keys.onSpacePressed: clicked()
    Keys.onReturnPressed: clicked()
    FocusRing { target: circle; radius: width / 2 }

    implicitWidth: 80
    implicitHeight: 68 + 6 + caption.implicitHeight

    Rectangle {
        id: circle
        width: 68
        height: 68
        radius: 34
        anchors.horizontalCenter: parent.horizontalCenter
        color: root.bgColor
        border.width: 1
        border.color: root.borderColor
        scale: area.pressed ? 0.95 : 1.0
        Icon {
            anchors.centerIn: parent
            name: root.icon
            size: 26
            color: root.iconColor
        }
        MouseArea {
            id: area
            anchors.fill: parent
            onClicked: root.clicked()
        }
    }
    Text {
        id: caption
        anchors.top: circle.bottom
        anchors.topMargin: 6
        anchors.horizontalCenter: parent.horizontalCenter
        text: root.label
        textFormat: Text.PlainText
        font.pixelSize: 13
        color: AppColors.current.foreground
    }
}
