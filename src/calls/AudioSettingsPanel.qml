import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Calls

// The call's audio settings: volume, speaker, microphone sensitivity, microphone and whether calls
// start with the microphone on. Every change is saved at once and acts on the running call. While the panel is
// open its meter shows the microphone at the chosen sensitivity.
Card {
    id: panel

    property bool isPresented: false
    property bool english: LanguageManager.isEnglish
    property QtObject audioSettings: AudioSettingsManager
    property MicrophoneMonitor monitor: MicrophoneMonitor { device: panel.audioSettings.microphoneDevice }

    function tr(ru, en) { return english ? en : ru }

    visible: isPresented
    implicitWidth: 380
    implicitHeight: body.implicitHeight + 32

    // The microphone is opened only while someone looks at the meter.
    onIsPresentedChanged: if (monitor) isPresented ? monitor.startMonitoring() : monitor.stopMonitoring()
    Component.onCompleted: if (isPresented && monitor) monitor.startMonitoring()

    ColumnLayout {
        id: body
        anchors { fill: parent; margins: 16 }
        spacing: 14

        RowLayout {
            Layout.fillWidth: true
            Text {
                objectName: "panelTitle"
                Accessible.role: Accessible.Heading
                Accessible.name: text
                Layout.fillWidth: true
                text: panel.tr("Настройки звука", "Audio Settings")
                textFormat: Text.PlainText
                font.pixelSize: 15
                font.weight: Font.DemiBold
                color: panel.colors.foreground
            }
            AbstractButton {
                id: closeButton
                objectName: "panelCloseButton"
                implicitWidth: 26
                implicitHeight: 26
                hoverEnabled: true
                onClicked: panel.isPresented = false
                Accessible.onPressAction: clicked()
                Accessible.name: panel.tr("Закрыть настройки звука", "Close audio settings")
                FocusRing { radius: width / 2 + offset }
                background: Rectangle {
                    radius: 13
                    color: closeButton.hovered ? panel.colors.muted : "transparent"
                }
                contentItem: Icon {
                    name: "xmark"
                    size: 16
                    color: panel.colors.mutedForeground
                }
            }
        }

        LevelRow {
            objectName: "volumeRow"
            symbol: "speaker.wave.2.fill"
            label: panel.tr("Громкость", "Volume")
            value: panel.audioSettings.outputVolume
            onMoved: (v) => panel.audioSettings.outputVolume = v
        }

        AudioDeviceChooser {
            objectName: "speakerChooser"
            Layout.fillWidth: true
            colors: panel.colors
            english: panel.english
            kind: AudioDeviceModel.Speaker
            symbolSize: 14
            symbolBoxWidth: 14
            rowSpacing: 8
            device: panel.audioSettings.speakerDevice
            onChosen: (name) => panel.audioSettings.speakerDevice = name
        }

        LevelRow {
            objectName: "sensitivityRow"
            symbol: "mic.fill"
            label: panel.tr("Чувствительность микрофона", "Mic Sensitivity")
            value: panel.audioSettings.inputSensitivity
            onMoved: (v) => panel.audioSettings.inputSensitivity = v
        }

        AudioDeviceChooser {
            objectName: "microphoneChooser"
            Layout.fillWidth: true
            colors: panel.colors
            english: panel.english
            kind: AudioDeviceModel.Microphone
            symbolSize: 14
            symbolBoxWidth: 14
            rowSpacing: 8
            device: panel.audioSettings.microphoneDevice
            onChosen: (name) => panel.audioSettings.microphoneDevice = name
        }

        MicrophoneLevelIndicator {
            objectName: "levelIndicator"
            Layout.fillWidth: true
            Layout.preferredHeight: 6
            level: !panel.monitor ? 0 : Math.min(1, panel.monitor.level
                                                 * WebRTCManager.captureGainForSensitivity(panel.audioSettings.inputSensitivity))
        }

        CheckBox {
            id: micCheck
            objectName: "micEnabledCheck"
            Layout.fillWidth: true
            padding: 0
            spacing: 8
            checked: panel.audioSettings.micEnabledByDefault
            onToggled: panel.audioSettings.micEnabledByDefault = checked
            // Qt 6.4 check boxes ignore the accessibility actions by themselves.
            Accessible.onPressAction: { toggle(); toggled() }
            Accessible.onToggleAction: { toggle(); toggled() }
            Accessible.name: panel.tr("Микрофон включён при звонке", "Mic enabled on call")
            FocusRing { target: micCheck.indicator; radius: 8 }
            indicator: Rectangle {
                implicitWidth: 18
                implicitHeight: 18
                y: (micCheck.height - height) / 2
                radius: 5
                color: micCheck.checked ? panel.colors.primary : "transparent"
                border.width: micCheck.checked ? 0 : 1
                border.color: panel.colors.mutedForeground
                Icon {
                    anchors.centerIn: parent
                    visible: micCheck.checked
                    name: "checkmark"
                    size: 14
                    color: panel.colors.primaryForeground
                }
            }
            contentItem: RowLayout {
                spacing: 6
                Item { Layout.preferredWidth: micCheck.indicator.width + 2 }
                Icon {
                    name: "mic.badge.plus"
                    size: 14
                    color: panel.colors.mutedForeground
                }
                Text {
                    Layout.fillWidth: true
                    text: panel.tr("Микрофон включён при звонке", "Mic enabled on call")
                    textFormat: Text.PlainText
                    font.pixelSize: 14
                    color: panel.colors.foreground
                    elide: Text.ElideRight
                }
            }
        }
    }

    component LevelRow: ColumnLayout {
        id: row
        property string symbol
        property string label
        property real value
        signal moved(real value)
        Layout.fillWidth: true
        spacing: 6

        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Icon {
                name: row.symbol
                size: 14
                color: panel.colors.mutedForeground
            }
            Text {
                Layout.fillWidth: true
                text: row.label
                textFormat: Text.PlainText
                font.pixelSize: 14
                color: panel.colors.foreground
                elide: Text.ElideRight
            }
            Text {
                objectName: "percent"
                text: AudioSettingsManager.percentText(row.value)
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: panel.colors.mutedForeground
            }
        }
        LevelSlider {
            objectName: "slider"
            Layout.fillWidth: true
            padding: 0
            implicitHeight: 18
            colors: panel.colors
            value: row.value
            Accessible.name: row.label
            Accessible.description: AudioSettingsManager.percentText(row.value)
            onMoved: row.moved(value)
        }
    }
}
