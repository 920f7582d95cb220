import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Calls
import Orvane.People

// Language, theme and call settings in one scrolling column at most 600 wide. Language and theme
// act on the whole application at once; the call values are the call panel's own. Leaving the
// page stops a running microphone test.
Item {
    id: view

    property var colors: AppColors.current
    property string language: LanguageManager.language
    readonly property alias model: settings
    // Icons, check marks and slider tint keep this colour in both themes; in the dark theme they
    // sit on light chips so they stay visible.
    readonly property color ink: "#171717"

    function tr(ru, en) { return language === "en" ? en : ru }

    SettingsModel { id: settings }

    onVisibleChanged: if (!visible) settings.stopMicTest()
    Component.onDestruction: settings.stopMicTest()

    Flickable {
        id: page
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.implicitHeight + 48
        boundsBehavior: Flickable.StopAtBounds
        clip: true

        ColumnLayout {
            id: column
            x: Math.max(20, (page.width - width) / 2)
            y: 24
            width: Math.min(page.width - 40, 600)
            spacing: 24

            SettingsSection {
                objectName: "languageSection"
                Layout.fillWidth: true
                colors: view.colors
                title: tr("Язык", "Language")

                Item {
                    Layout.fillWidth: true
                    Layout.preferredHeight: languageSwitcher.implicitHeight + 24
                    LanguageSwitcher {
                        id: languageSwitcher
                        objectName: "languageSwitcher"
                        x: 12
                        anchors.verticalCenter: parent.verticalCenter
                        width: Math.min(implicitWidth, 200)
                        colors: view.colors
                    }
                }
            }

            SettingsSection {
                objectName: "themeSection"
                Layout.fillWidth: true
                colors: view.colors
                title: tr("Тема", "Theme")

                Repeater {
                    model: ["light", "dark"]
                    ThemeRow {
                        required property string modelData
                        required property int index
                        objectName: "themeRow_" + modelData
                        Layout.fillWidth: true
                        mode: modelData
                        isLast: index === 1
                    }
                }
            }

            SettingsSection {
                objectName: "callsSection"
                Layout.fillWidth: true
                colors: view.colors
                title: tr("Звонки", "Calls")

                VolumeRow {
                    objectName: "speakerRow"
                    Layout.fillWidth: true
                    symbol: "speaker.wave.2.fill"
                    label: tr("Громкость динамика", "Speaker volume")
                    percentText: settings.speakerPercent
                    value: settings.speakerVolume
                    onMoved: (v) => settings.speakerVolume = v
                }
                RowDivider {}
                VolumeRow {
                    objectName: "microphoneRow"
                    Layout.fillWidth: true
                    symbol: "mic.fill"
                    label: tr("Громкость микрофона", "Microphone volume")
                    percentText: settings.microphonePercent
                    value: settings.microphoneVolume
                    onMoved: (v) => settings.microphoneVolume = v
                }
                RowDivider {}
                DeviceRow {
                    objectName: "microphoneChooser"
                    kind: AudioDeviceModel.Microphone
                    device: AudioSettingsManager.microphoneDevice
                    onChosen: (name) => AudioSettingsManager.microphoneDevice = name
                }
                RowDivider {}
                DeviceRow {
                    objectName: "speakerChooser"
                    kind: AudioDeviceModel.Speaker
                    device: AudioSettingsManager.speakerDevice
                    onChosen: (name) => AudioSettingsManager.speakerDevice = name
                }
                RowDivider {}

                ColumnLayout {
                    Layout.fillWidth: true
                    Layout.margins: 14
                    spacing: 10
                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 10
                        Text {
                            objectName: "micTestLabel"
                            Layout.fillWidth: true
                            text: tr("Проверка микрофона", "Microphone test")
                            textFormat: Text.PlainText
                            font.pixelSize: 14
                            color: view.colors.foreground
                        }
                        AbstractButton {
                            id: testButton
                            objectName: "micTestButton"
                            hoverEnabled: true
                            leftPadding: 14; rightPadding: 14; topPadding: 5; bottomPadding: 5
                            text: settings.isTesting ? tr("Стоп", "Stop") : tr("Тест", "Test")
                            onClicked: settings.toggleMicTest()
                            Accessible.onPressAction: clicked()
                            FocusRing {}
                            contentItem: Text {
                                text: testButton.text
                                textFormat: Text.PlainText
                                font.pixelSize: 12
                                font.weight: Font.Medium
                                horizontalAlignment: Text.AlignHCenter
                                color: settings.isTesting ? "white" : view.colors.foreground
                            }
                            background: Rectangle {
                                radius: 6
                                color: settings.isTesting ? "#EF4444"
                                     : testButton.hovered ? view.colors.accent : view.colors.secondary
                                border.width: settings.isTesting ? 0 : 1
                                border.color: view.colors.border
                            }
                        }
                    }
                    MicrophoneLevelIndicator {
                        objectName: "micMeter"
                        Accessible.name: tr("Уровень микрофона", "Microphone level")
                        Layout.fillWidth: true
                        Layout.preferredHeight: 8
                        level: settings.micMonitor ? settings.micMonitor.level : 0
                    }
                }
                RowDivider {}

                RowLayout {
                    objectName: "micBeforeCallRow"
                    Layout.fillWidth: true
                    Layout.margins: 14
                    spacing: 10
                    Chip { symbol: "mic.badge.plus" }
                    Text {
                        objectName: "micBeforeCallLabel"
                        Layout.fillWidth: true
                        text: tr("Вкл. микрофон перед вызовом", "Enable mic before call")
                        textFormat: Text.PlainText
                        font.pixelSize: 14
                        color: view.colors.foreground
                        elide: Text.ElideRight
                    }
                    Switch {
                        id: micSwitch
                        objectName: "micBeforeCallSwitch"
                        checked: settings.enableMicBeforeCall
                        onToggled: settings.enableMicBeforeCall = checked
                        // Qt 6.4 switches ignore the accessibility actions by themselves.
                        Accessible.onPressAction: { toggle(); toggled() }
                        Accessible.onToggleAction: { toggle(); toggled() }
                        Accessible.name: tr("Вкл. микрофон перед вызовом", "Enable mic before call")
                        FocusRing { target: micSwitch.indicator; radius: 14 }
                        indicator: Rectangle {
                            implicitWidth: 38
                            implicitHeight: 22
                            x: micSwitch.leftPadding
                            y: (micSwitch.height - height) / 2
                            radius: 11
                            color: micSwitch.checked ? (view.colors.isDark ? "#FAFAFA" : view.ink) : view.colors.muted
                            border.width: 1
                            border.color: view.colors.border
                            Rectangle {
                                x: micSwitch.checked ? parent.width - width - 3 : 3
                                anchors.verticalCenter: parent.verticalCenter
                                width: 16; height: 16; radius: 8
                                color: micSwitch.checked && view.colors.isDark ? view.ink : "white"
                                Behavior on x { NumberAnimation { duration: 120 } }
                            }
                        }
                    }
                }
            }

            NotificationSettingsSection {
                objectName: "notificationsSection"
                Layout.fillWidth: true
                colors: view.colors
                language: view.language
            }
        }
    }

    // The symbol in the fixed ink colour on a light chip, legible on either theme.
    component Chip: Rectangle {
        property string symbol
        implicitWidth: 24
        implicitHeight: 24
        radius: 6
        color: view.colors.isDark ? "#E4E4E7" : "transparent"
        Icon {
            anchors.centerIn: parent
            name: parent.symbol
            size: 16
            color: view.ink
        }
    }

    component DeviceRow: AudioDeviceChooser {
        Layout.fillWidth: true
        Layout.margins: 14
        colors: view.colors
        english: view.language === "en"
        symbolColor: view.ink
        symbolBackground: view.colors.isDark ? "#E4E4E7" : "transparent"
    }

    component RowDivider: Rectangle {
        Layout.fillWidth: true
        Layout.leftMargin: 14
        Layout.rightMargin: 14
        Layout.preferredHeight: 1
        color: view.colors.border
    }

    component ThemeRow: AbstractButton {
        id: themeRow
        property string mode
        property bool isLast: false
        readonly property bool isSelected: ThemeManager.mode === mode
        implicitHeight: 46
        leftPadding: 14
        rightPadding: 14
        hoverEnabled: true
        text: ThemeManager.displayName(mode, view.language)
        onClicked: ThemeManager.mode = mode
        Accessible.onPressAction: clicked()
        Accessible.checkable: true
        Accessible.checked: isSelected
        FocusRing { offset: -1 }
        background: Rectangle {
            color: themeRow.hovered ? Qt.rgba(view.colors.muted.r, view.colors.muted.g, view.colors.muted.b, 0.5) : "transparent"
            radius: 8
            Rectangle {
                visible: !themeRow.isLast
                anchors { left: parent.left; right: parent.right; bottom: parent.bottom; leftMargin: 14; rightMargin: 14 }
                height: 1
                color: view.colors.border
            }
        }
        contentItem: RowLayout {
            spacing: 10
            Chip { symbol: ThemeManager.iconName(themeRow.mode) }
            Text {
                objectName: "themeName"
                Layout.fillWidth: true
                text: themeRow.text
                textFormat: Text.PlainText
                font.pixelSize: 14
                color: view.colors.foreground
            }
            Chip {
                objectName: "checkmark"
                visible: themeRow.isSelected
                symbol: "checkmark"
            }
        }
    }

    component VolumeRow: ColumnLayout {
        id: volumeRow
        property string symbol
        property string label
        property string percentText
        property real value
        signal moved(real value)
        spacing: 8
        Layout.margins: 14

        RowLayout {
            Layout.fillWidth: true
            spacing: 10
            Chip { symbol: volumeRow.symbol }
            Text {
                objectName: "volumeLabel"
                Layout.fillWidth: true
                text: volumeRow.label
                textFormat: Text.PlainText
                font.pixelSize: 14
                color: view.colors.foreground
                elide: Text.ElideRight
            }
            Text {
                objectName: "percent"
                text: volumeRow.percentText
                textFormat: Text.PlainText
                font.pixelSize: 13
                color: view.colors.mutedForeground
            }
        }
        LevelSlider {
            objectName: "slider"
            Layout.fillWidth: true
            colors: view.colors
            fillColor: view.colors.isDark ? "#D4D4D8" : view.ink
            value: volumeRow.value
            Accessible.name: volumeRow.label
            Accessible.description: volumeRow.percentText
            onMoved: volumeRow.moved(value)
        }
    }
}
