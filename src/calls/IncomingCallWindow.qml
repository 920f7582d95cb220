import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Orvane.Session
import Orvane.Ui
import Orvane.Calls

// Rings for a reported call with Answer and Decline; after answering it is the call's screen.
Window {
    id: window

    required property QtObject controller
    required property QtObject calls
    required property var call
    property bool answered: false
    property bool closedByController: false
    // Set by CallWindows from the palette, for the window manager's frame.
    property bool darkAppearance: false
    property bool callEnded: false
    property bool isMuted: false
    property bool isSpeakerOn: true
    readonly property bool english: LanguageManager.isEnglish
    readonly property var colors: AppColors.current

    function tr(ru, en) { return english ? en : ru }
    function endAndClose() {
        calls.hangUp()
        controller.closeIncoming()
    }

    width: 400
    height: answered ? 550 : 500
    minimumWidth: 400
    minimumHeight: height
    maximumHeight: height
    flags: Qt.Window | Qt.WindowStaysOnTopHint
    title: answered ? tr("Звонок", "Call") : tr("Входящий звонок", "Incoming Call")
    color: colors.background
    // Keyboard: Enter answers, Escape declines (or ends the answered call), Ctrl+M mutes.
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: !window.answered
        onActivated: window.controller.answerIncoming()
    }
    Shortcut {
        sequence: "Escape"
        onActivated: {
            if (!window.answered)
                window.controller.declineIncoming()
            else
                window.endAndClose()
        }
    }
    Shortcut {
        sequence: "Ctrl+M"
        enabled: window.answered && !window.callEnded
        onActivated: {
            window.isMuted = !window.isMuted
            window.calls.isMuted = window.isMuted
        }
    }

    // Closing from the title bar declines a ringing call and ends an answered one, so the
    // ringtone stops and the next incoming call can open its window.
    onClosing: {
        if (closedByController)
            return
        if (answered)
            endAndClose()
        else
            controller.declineIncoming()
    }

    Connections {
        target: window.calls
        enabled: window.answered && !window.callEnded && !window.closedByController
        function onCallStatusChanged() {
            if (window.calls.callStatus === "ended" || window.calls.callStatus === "idle") {
                window.callEnded = true
                closeLater.start()
            }
        }
    }
    Timer {
        id: closeLater
        interval: 2000
        onTriggered: if (!window.closedByController) window.endAndClose()
    }

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 16

        PulsingAvatar {
            Layout.alignment: Qt.AlignHCenter
            source: window.controller ? window.controller.avatarUrl(window.call.callerAvatar || "") : ""
            pulsing: !window.answered
            Accessible.ignored: true
        }
        Text {
            objectName: "callerName"
            Accessible.role: Accessible.Heading
            Accessible.name: text
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 16 // clear of the rings at their widest
            Layout.maximumWidth: window.width - 48
            text: TextStart.oneLine(window.call.callerName || "Unknown")
            textFormat: Text.PlainText
            elide: Text.ElideRight
            font.pixelSize: 22
            font.weight: Font.DemiBold
            color: window.colors.foreground
        }
        Text {
            objectName: "statusLine"
            Accessible.role: Accessible.StaticText
            Accessible.name: text
            Layout.alignment: Qt.AlignHCenter
            text: !window.answered ? window.tr("Входящий звонок", "Incoming call")
                : window.callEnded ? window.tr("Завершён", "Ended")
                : CallStateManager.formatDuration(window.calls.callDuration)
            textFormat: Text.PlainText
            font.pixelSize: 15
            color: window.colors.mutedForeground
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 24
            spacing: 32
            visible: !window.answered
            CallButton {
                objectName: "declineButton"
                icon: "phone.down.fill"
                label: window.tr("Отклонить", "Decline")
                bgColor: "#e5484d"
                onClicked: window.controller.declineIncoming()
            }
            CallButton {
                objectName: "answerButton"
                icon: "phone.fill"
                label: window.tr("Ответить", "Answer")
                bgColor: "#30a46c"
                onClicked: window.controller.answerIncoming()
            }
        }
        RowLayout {
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: 24
            spacing: 24
            visible: window.answered && !window.callEnded
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
                label: window.tr("Завершить", "End")
                bgColor: "#e5484d"
                onClicked: window.endAndClose()
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
            visible: window.answered && window.callEnded
            text: window.tr("Закрыть", "Close")
            onClicked: window.endAndClose()
        }
    }
}
