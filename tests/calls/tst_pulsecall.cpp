// A whole call on the sound server: two members signed in to the reference server on 127.0.0.1
// call each other with the production elements (pulsesrc / pulsesink) on the test session's
// virtual devices. Anna's are the defaults ("mic" hears "cable", plays on "speaker"; the microphone
// she chose is gone); Boris chose the second set in his settings ("mic2" hears "cable2", plays on
// "speaker2"). Each "voice" is a tone played into a cable, and each ear is a recording of a
// speaker's monitor.
#include "AudioSettingsManager.h"
#include "CallAPIClient.h"
#include "CallManager.h"
#include "CallTest.h"
#include "OutputCapture.h"
#include "ReferenceServer.h"
#include "WebRTCManager.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <QCoro/QCoroTask>

#include <gst/gst.h>

namespace {

using namespace CallTest;

// A pipeline that plays into or records from the sound server, stopped when it goes.
struct Pulse
{
    explicit Pulse(const QString &description)
    {
        pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
        if (pipeline) {
            gst_object_ref_sink(pipeline);
            probe.attach(pipeline);
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
        }
    }
    ~Pulse()
    {
        probe.detach();
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }
    static QString voice(int frequency, const char *cable)
    {
        return QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.3 ! pulsesink device=%2")
            .arg(frequency)
            .arg(QLatin1String(cable));
    }
    static QString ear(const char *speaker)
    {
        return QStringLiteral("pulsesrc device=%1.monitor ! ").arg(QLatin1String(speaker)) + AudioProbe::sinkDescription();
    }
    GstElement *pipeline = nullptr;
    AudioProbe probe;
};

} // namespace

class TestPulseCall : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ReferenceServer m_server;

private slots:
    void initTestCase()
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")});
        if (!pactl.waitForFinished() || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
            QSKIP("no PulseAudio session (run under scripts/with-test-env)");
        if (!pactl.readAllStandardOutput().contains("mic2"))
            QSKIP("no second set of virtual devices (run under scripts/with-test-env)");
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
        gst_init(nullptr, nullptr);
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    }

    void membersHearEachOtherThroughTheSoundServer()
    {
        CallAPIClient api(m_server.serverUrl());
        std::unique_ptr<Member> anna, boris;
        for (const QString name : {"anna", "boris"}) {
            const auto login = signIn(m_server.serverUrl(), name);
            QVERIFY(login);
            MediaConfig config = MediaConfig::fromEnvironment(); // what the application runs
            QCOMPARE(config.sourceDescription, QStringLiteral("pulsesrc"));
            (name == QLatin1String("anna") ? anna : boris) =
                std::make_unique<Member>(&api, config, login->first, login->second);
        }
        AudioSettingsManager settings(nullptr), borisSettings(nullptr);
        settings.setMicrophoneDevice(QStringLiteral("gone"));
        anna->media->followAudioSettings(&settings);
        OutputCapture output;
        // Boris chose his devices in the settings.
        borisSettings.setMicrophoneDevice(QStringLiteral("mic2"));
        borisSettings.setSpeakerDevice(QStringLiteral("speaker2"));
        boris->media->followAudioSettings(&borisSettings);

        Pulse annaVoice(Pulse::voice(440, "cable")), borisVoice(Pulse::voice(880, "cable2"));
        Pulse annaEar(Pulse::ear("speaker")), borisEar(Pulse::ear("speaker2"));
        QVERIFY(annaVoice.pipeline && borisVoice.pipeline && annaEar.pipeline && borisEar.pipeline);

        boris->calls->startPolling();
        QVERIFY(QCoro::waitFor(anna->calls->initiateCall(boris->id)));
        const QString callId = *anna->calls->currentCallId();
        QTRY_VERIFY_WITH_TIMEOUT(boris->calls->incomingCall() && boris->calls->incomingCall()->id == callId, Wait);
        QVERIFY(QCoro::waitFor(boris->calls->answerCall(callId)));
        QTRY_COMPARE_WITH_TIMEOUT(anna->calls->status(), CallManagerStatus::Active, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(anna->media->connectionState(), int(WebRTCManager::Connected), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(boris->media->connectionState(), int(WebRTCManager::Connected), Wait);

        // Each speaker plays the other member's voice.
        QVERIFY(hears(annaEar.probe, 880));
        QVERIFY(hears(borisEar.probe, 440));
        QCOMPARE(output.count(QStringLiteral("[Audio] Microphone \"gone\" not found, using the system default")), 1);

        // The settings act on the running call: volume 0 silences Anna's speaker, and back.
        settings.setOutputVolume(0.0f);
        QVERIFY(silent(annaEar.probe));
        settings.setOutputVolume(1.0f);
        QVERIFY(hears(annaEar.probe, 880));
        // A speaker chosen during the call takes the call's sound along, and back to the default.
        settings.setSpeakerDevice(QStringLiteral("speaker2"));
        QVERIFY(silent(annaEar.probe));
        settings.setSpeakerDevice(QString());
        QVERIFY(hears(annaEar.probe, 880));

        QCoro::waitFor(boris->calls->endCall());
        QTRY_COMPARE_WITH_TIMEOUT(anna->calls->status(), CallManagerStatus::Ended, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(boris->calls->status(), CallManagerStatus::Idle, Wait);
        QVERIFY(silent(annaEar.probe));
        QVERIFY(silent(borisEar.probe));
        anna.reset();
        boris.reset();
        QTRY_COMPARE_WITH_TIMEOUT(WebRTCManager::alivePipelineCount(), 0, 5000);
    }
};

QTEST_GUILESS_MAIN(TestPulseCall)
#include "tst_pulsecall.moc"
