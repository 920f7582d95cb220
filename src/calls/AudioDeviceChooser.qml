import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Calls

// A microphone or speaker chooser: the system default and the sound server's devices, listed (and
// kept current) only while the chooser is visible. A chosen device that is not there is replaced by
// the default wherever sound is made; one line under the chooser says so.
ColumnLayout {
    id: chooser

    property var colors: AppColors.current
    property bool english: LanguageManager.isEnglish
    property alias kind: devices.kind
    property string symbol: kind === AudioDeviceModel.Microphone ? "mic.fill" : "speaker.wave.2.fill"
    property color symbolColor: colors.mutedForeground
    property color symbolBackground: "transparent"
    // The chosen device's sound-server name; empty is the system default.
    property string device
    readonly property bool deviceMissing: device !== "" && devices.loaded
                                          && (revision, devices.indexOf(device) < 0)
    signal chosen(string device)

    property int symbolSize: 16
    property int symbolBoxWidth: 24
    property int rowSpacing: 10

    property int revision: 0
    function tr(ru, en) { return english ? en : ru }
    function showChoice() { combo.currentIndex = Math.max(0, devices.indexOf(device)) }
    onDeviceChanged: showChoice()
    onRevisionChanged: Qt.callLater(showChoice)

    spacing: 6

    AudioDeviceModel {
        id: devices
        active: chooser.visible
        onRowsInserted: chooser.revision++
        onRowsRemoved: chooser.revision++
        onModelReset: chooser.revision++
    }

    RowLayout {
        Layout.fillWidth: true
        spacing: chooser.rowSpacing
        Rectangle {
            implicitWidth: chooser.symbolBoxWidth
            implicitHeight: 24
            radius: 6
            color: chooser.symbolBackground
            Icon {
                anchors.centerIn: parent
                name: chooser.symbol
                size: chooser.symbolSize
                color: chooser.symbolColor
            }
        }
        Text {
            id: labelText
            objectName: "deviceLabel"
            Layout.minimumWidth: 84 // both choosers' boxes line up
            text: chooser.kind === AudioDeviceModel.Microphone ? chooser.tr("Микрофон", "Microphone")
                                                               : chooser.tr("Динамик", "Speaker")
            textFormat: Text.PlainText
            font.pixelSize: 14
            color: chooser.colors.foreground
        }
        ComboBox {
            id: combo
            objectName: "deviceCombo"
            Layout.fillWidth: true
            Layout.minimumWidth: 120
            implicitHeight: 30
            model: devices
            textRole: "displayName"
            valueRole: "name"
            displayText: currentIndex <= 0 ? chooser.tr("По умолчанию", "System default") : currentText
            hoverEnabled: true
            Accessible.name: labelText.text
            onActivated: (index) => chooser.chosen(index <= 0 ? "" : valueAt(index))

            // After the combo box has taken in a new list, which resets its index.
            onCountChanged: Qt.callLater(chooser.showChoice)
            Component.onCompleted: chooser.showChoice()

            background: Rectangle {
                radius: 8
                color: combo.hovered ? chooser.colors.accent : chooser.colors.background
                border.width: 1
                border.color: combo.visualFocus ? chooser.colors.ring : chooser.colors.border
            }
            contentItem: Text {
                leftPadding: 10
                rightPadding: combo.indicator.width + 6
                text: combo.displayText
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: chooser.colors.foreground
                verticalAlignment: Text.AlignVCenter
                elide: Text.ElideRight
            }
            indicator: Icon {
                x: combo.width - width - 10
                y: (combo.height - height) / 2
                name: "chevron.right"
                rotation: 90
                size: 12
                color: chooser.colors.mutedForeground
            }
            delegate: ItemDelegate {
                id: row
                required property int index
                required property string name
                required property string displayName
                width: ListView.view ? ListView.view.width : implicitWidth
                implicitHeight: 30
                highlighted: combo.highlightedIndex === index
                hoverEnabled: true
                contentItem: Text {
                    text: row.index === 0 ? chooser.tr("По умолчанию", "System default") : row.displayName
                    textFormat: Text.PlainText
                    font.pixelSize: 13
                    font.weight: row.index === combo.currentIndex ? Font.Medium : Font.Normal
                    color: chooser.colors.foreground
                    elide: Text.ElideRight
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    radius: 6
                    color: row.highlighted || row.hovered ? chooser.colors.accent : "transparent"
                }
            }
            popup: Popup {
                y: combo.height + 4
                width: combo.width
                implicitHeight: Math.min(contentItem.implicitHeight + 8, 260)
                padding: 4
                contentItem: ListView {
                    clip: true
                    implicitHeight: contentHeight
                    model: combo.popup.visible ? combo.delegateModel : null
                    currentIndex: combo.highlightedIndex
                    boundsBehavior: Flickable.StopAtBounds
                }
                background: Rectangle {
                    radius: 10
                    color: chooser.colors.popover
                    border.width: 1
                    border.color: chooser.colors.border
                }
            }
        }
    }

    Text {
        objectName: "deviceMissingNotice"
        Layout.fillWidth: true
        visible: chooser.deviceMissing
        text: chooser.tr("«%1» не найден — используется по умолчанию",
                         "“%1” not found — using the system default").arg(chooser.device)
        textFormat: Text.PlainText
        font.pixelSize: 12
        color: chooser.colors.mutedForeground
        elide: Text.ElideRight
        maximumLineCount: 1
    }
}
