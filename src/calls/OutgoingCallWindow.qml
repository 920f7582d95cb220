import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Calls

// A call this member places: progress, controls and duration, and the final state before it closes.
Window {
    id: window

    required property QtObject controller
    required property QtObject calls
    required property var friendData
    property bool closedByController: false
    // Set by CallWindows from the palette, for the window manager's frame.
    property bool darkAppearance: false
    property alias showSettings: settingsPanel.isPresented
    property int callState: CallStateManager.Connecting
    property bool isMuted: false
    property bool isSpeakerOn: true
    property bool placing: false
    property int closeDelay: 0
    readonly property bool english: LanguageManager.isEnglish
    readonly property var colors: AppColors.current
    readonly property bool finished: callState === CallStateManager.NoAnswer || callState === CallStateManager.Declined
                                     || callState === CallStateManager.Ended || callState === CallStateManager.Busy
    readonly property bool failed: callState === CallStateManager.NoAnswer || callState === CallStateManager.Declined
                                   || callState === CallStateManager.Busy
    // How long a call may ring before it counts as unanswered; tests shorten it.
    property int noAnswerTimeoutMs: 30000

    function tr(ru, en) { return english ? en : ru }
    function setState(state) {
        callState = state
        CallStateManager.callState = state
        if (state !== CallStateManager.Connecting && state !== CallStateManager.Ringing)
            controller.stopRingback()
    }
    function finishAfter(ms) {
        closeTimer.interval = ms
        closeTimer.start()
    }
    // The End button, and the title bar's close.
    function endCall() {
        noAnswerTimer.stop()
        setState(CallStateManager.Ended)
        calls.hangUp()
        finishAfter(1000)
    }

    width: 560
    height: 640
    minimumWidth: 560
    maximumWidth: 560
    minimumHeight: 640
    maximumHeight: 640
    title: tr("Звонок: ", "Call: ") + controller.displayName(friendData)
    color: colors.background
    // Keyboard: Escape closes the audio panel, else ends (or, once over, closes) the call; Ctrl+M mutes.
    Shortcut {
        sequence: "Escape"
        onActivated: {
            if (window.showSettings)
                window.showSettings = false
            else if (window.finished)
                window.controller.endOutgoing()
            else
                window.endCall()
        }
    }
    Shortcut {
        sequence: "Ctrl+M"
        enabled: !window.finished
        onActivated: {
            window.isMuted = !window.isMuted
            window.calls.isMuted = window.isMuted
        }
    }

    onClosing: {
        if (closedByController)
            return
        closeTimer.stop()
        if (!finished)
            calls.hangUp()
        controller.endOutgoing()
    }

    Component.onCompleted: {
        isMuted = !AudioSettingsManager.micEnabledByDefault
        // The call starts with the media this window shows.
        calls.isMuted = isMuted
        calls.setSpeakerEnabled(isSpeakerOn)
        placing = true
        calls.placeCall(friendData.id)
    }

    Connections {
        target: window.calls
        // A window closed for a newer call no longer speaks for the manager's call.
        enabled: !window.closedByController
        function onCallStatusChanged() {
            const status = window.calls.callStatus
            if (window.finished)
                return
            if (window.placing) {
                if (status === "ringing") {
                    window.placing = false
                    window.setState(CallStateManager.Ringing)
                    noAnswerTimer.start()
                } else if (status === "busy" || status === "error") {
                    window.placing = false
                    window.setState(status === "busy" ? CallStateManager.Busy : CallStateManager.NoAnswer)
                    window.finishAfter(3000)
                }
                return
            }
            if (status === "active" && window.callState === CallStateManager.Ringing) {
                noAnswerTimer.stop()
                window.setState(CallStateManager.Active)
            } else if (status === "declined") {
                noAnswerTimer.stop()
                window.setState(CallStateManager.Declined)
                window.finishAfter(2000)
            } else if (status === "noAnswer") {
                noAnswerTimer.stop()
                window.setState(CallStateManager.NoAnswer)
                window.finishAfter(3000)
            } else if (status === "ended") {
                noAnswerTimer.stop()
                window.setState(CallStateManager.Ended)
            }
        }
    }
    Timer {
        id: noAnswerTimer
        interval: window.noAnswerTimeoutMs
        onTriggered: {
            if (window.closedByController || window.callState !== CallStateManager.Ringing)
                return
            window.setState(CallStateManager.NoAnswer)
            window.calls.hangUp()
            window.finishAfter(3000)
        }
    }
    Timer {
        id: closeTimer
        onTriggered: if (!window.closedByController) window.controller.endOutgoing()
    }

    AbstractButton {
        id: settingsButton
        objectName: "settingsButton"
        Accessible.name: window.tr("Настройки звука", "Audio settings")
        Accessible.checkable: true
        Accessible.checked: window.showSettings
        FocusRing { radius: width / 2 + offset }
        anchors { top: parent.top; right: parent.right; margins: 16 }
        implicitWidth: 36
        implicitHeight: 36
        hoverEnabled: true
        onClicked: window.showSettings = !window.showSettings
        Accessible.onPressAction: clicked()
        background: Rectangle {
            radius: 18
            color: window.showSettings || settingsButton.hovered ? window.colors.accent : window.colors.secondary
            border.width: 1
            border.color: window.colors.border
        }
        contentItem: Icon {
            name: "gearshape.fill"
            size: 18
            color: window.showSettings ? window.colors.foreground : window.colors.mutedForeground
        }
    }

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 12

        PulsingAvatar {
            Layout.alignment: Qt.AlignHCenter
            size: window.showSettings ? 88 : 140
            source: window.controller ? window.controller.avatarUrl(window.friendData.avatar || "") : ""
            pulsing: window.callState === CallStateManager.Connecting || window.callState === CallStateManager.Ringing
            Accessible.ignored: true
        }
        Text {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 16 // clear of the rings at their widest
            Layout.maximumWidth: window.width - 48
            text: TextStart.oneLine(window.controller.displayName(window.friendData))
            elide: Text.ElideRight
            Accessible.role: Accessible.Heading
            Accessible.name: text
            textFormat: Text.PlainText
            font.pixelSize: 24
            font.weight: Font.DemiBold
            color: window.colors.foreground
        }
        Text {
            objectName: "statusLine"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Layout.alignment: Qt.AlignHCenter
            text: window.callState === CallStateManager.Active
                  ? CallStateManager.formatDuration(window.calls.callDuration)
                  : CallStateManager.text(window.callState, window.english)
            textFormat: Text.PlainText
            font.pixelSize: 15
            font.weight: window.failed ? Font.Medium : Font.Normal
            color: window.failed ? "#e5484d" : window.colors.mutedForeground
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 20
            spacing: 24
            visible: !window.finished
            CallButton {
                objectName: "muteButton"
                accessibleName: window.isMuted ? window.tr("Включить микрофон", "Unmute") : window.tr("Выключить микрофон", "Mute")
                icon: window.isMuted ? "mic.slash.fill" : "mic.fill"
                iconColor: window.isMuted ? "#e5484d" : window.colors.foreground
                bgColor: window.colors.secondary
                borderColor: window.colors.border
                label: window.isMuted ? window.tr("Вкл.", "On") : window.tr("Выкл.", "Off")
                onClicked: {
                    window.isMuted = !window.isMuted
                    window.calls.isMuted = window.isMuted
                }
            }
            CallButton {
                objectName: "endButton"
                icon: "phone.down.fill"
                label: window.callState === CallStateManager.Active ? window.tr("Завершить", "End")
                                                                    : window.tr("Отмена", "Cancel")
                bgColor: "#e5484d"
                onClicked: window.endCall()
            }
            CallButton {
                objectName: "speakerButton"
                accessibleName: window.isSpeakerOn ? window.tr("Выключить звук", "Speaker off") : window.tr("Включить звук", "Speaker on")
                icon: window.isSpeakerOn ? "speaker.wave.3.fill" : "speaker.slash.fill"
                iconColor: window.isSpeakerOn ? window.colors.foreground : "#e5484d"
                bgColor: window.colors.secondary
                borderColor: window.colors.border
                label: window.isSpeakerOn ? window.tr("Вкл.", "On") : window.tr("Выкл.", "Off")
                onClicked: {
                    window.isSpeakerOn = !window.isSpeakerOn
                    window.calls.setSpeakerEnabled(window.isSpeakerOn)
                }
            }
        }
        GlassButton {
            objectName: "closeButton"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 20
            Layout.preferredWidth: 140
            visible: window.finished
            text: window.tr("Закрыть", "Close")
            onClicked: window.controller.endOutgoing()
        }
        AudioSettingsPanel {
            id: settingsPanel
            objectName: "settingsPanel"
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 12
            Layout.preferredWidth: 380
            english: window.english
        }
    }
}
