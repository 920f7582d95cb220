import QtQuick

// The product mark: the yellow rounded square with the initial, then the product word.
Row {
    id: logo
    property color wordColor: "black"
    spacing: 8

    Rectangle {
        width: logo.height; height: logo.height
        radius: logo.height / 4
        color: "#FCD34D"
        Text {
            anchors.centerIn: parent
            text: "T"
            textFormat: Text.PlainText
            // The word's size: one font size less to set up before the first frame.
            font.pixelSize: logo.height * 0.7
            font.bold: true
            color: "black"
        }
    }
    Text {
        anchors.verticalCenter: parent.verticalCenter
        text: "TheOrvane"
        textFormat: Text.PlainText
        font.pixelSize: logo.height * 0.7
        font.bold: true
        color: logo.wordColor
    }
}
