// A call whose one side uses the production elements (the default PulseAudio source and sink)
// on the test session's virtual devices: a tone played into "cable" is heard by "mic", and
// what the call plays on "speaker" is recorded from its monitor.
#include "AudioProbe.h"
#include "WebRTCManager.h"

#include <QProcess>
#include <QtTest>

#include <gst/gst.h>

namespace {

constexpr int Wait = 20000;

struct Recorder
{
    explicit Recorder(const QString &description)
    {
        pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
        if (pipeline) {
            gst_object_ref_sink(pipeline);
            probe.attach(pipeline);
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
        }
    }
    ~Recorder()
    {
        probe.detach();
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }
    GstElement *pipeline = nullptr;
    AudioProbe probe;
};

bool heard(AudioProbe &probe, int frequency)
{
    probe.clear();
    const size_t window = AudioProbe::Rate * 4 / 10;
    if (!QTest::qWaitFor([&] { return probe.sampleCount() >= window; }, Wait))
        return false;
    const auto samples = probe.lastSamples(window);
    const double db = AudioProbe::rmsDbfs(samples);
    const double hz = AudioProbe::frequency(samples);
    qInfo("level %.1f dBFS, %.1f Hz (want %d Hz)", db, hz, frequency);
    return db > -30 && std::abs(hz - frequency) <= frequency * 0.05;
}

} // namespace

class TestPulseCall : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        if (!pactl.waitForFinished() || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0)
            QSKIP("no PulseAudio session (run under scripts/with-test-env)");
        gst_init(nullptr, nullptr);
    }

    void productionElementsCarryTheCall()
    {
        MediaConfig production;   // pulsesrc / pulsesink on the session's default devices
        production.iceAddress = QStringLiteral("127.0.0.1");
        MediaConfig tone;
        tone.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=sine freq=880 volume=0.3");
        tone.sinkDescription = AudioProbe::sinkDescription();
        tone.iceAddress = production.iceAddress;

        WebRTCManager a(production), b(tone);
        std::optional<bool> permission;
        a.checkMicrophonePermission([&](bool granted) { permission = granted; });
        QTRY_VERIFY_WITH_TIMEOUT(permission.has_value(), Wait);
        QVERIFY(*permission);

        // Someone speaks into the microphone: a 440 Hz tone played into the cable.
        GstElement *voice = gst_parse_launch(
            "audiotestsrc is-live=true wave=sine freq=440 volume=0.3 ! pulsesink device=cable", nullptr);
        QVERIFY(voice);
        gst_object_ref_sink(voice);
        gst_element_set_state(voice, GST_STATE_PLAYING);
        auto stopVoice = qScopeGuard([voice] {
            gst_element_set_state(voice, GST_STATE_NULL);
            gst_object_unref(voice);
        });
        Recorder speaker(QStringLiteral("pulsesrc device=speaker.monitor ! ") + AudioProbe::sinkDescription());
        QVERIFY(speaker.pipeline);

        a.onIceCandidate = [&](const WebRTCManager::IceCandidate &c) { b.addIceCandidate(c); };
        b.onIceCandidate = [&](const WebRTCManager::IceCandidate &c) { a.addIceCandidate(c); };
        a.createPeerConnection();
        b.createPeerConnection();
        AudioProbe bHears;
        QVERIFY(bHears.attach(b.pipeline()));

        std::optional<std::optional<WebRTCManager::SessionDescription>> offer, answer;
        std::optional<bool> offerSet, answerSet;
        a.createOffer([&](auto d) { offer = d; });
        QTRY_VERIFY_WITH_TIMEOUT(offer && *offer, Wait);
        b.setRemoteDescription(**offer, [&](bool ok) { offerSet = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(offerSet && *offerSet, Wait);
        b.createAnswer([&](auto d) { answer = d; });
        QTRY_VERIFY_WITH_TIMEOUT(answer && *answer, Wait);
        a.setRemoteDescription(**answer, [&](bool ok) { answerSet = ok; });
        QTRY_VERIFY_WITH_TIMEOUT(answerSet && *answerSet, Wait);
        QTRY_COMPARE_WITH_TIMEOUT(a.connectionState(), int(WebRTCManager::Connected), Wait);
        QTRY_COMPARE_WITH_TIMEOUT(b.connectionState(), int(WebRTCManager::Connected), Wait);

        QVERIFY(QTest::qWaitFor([&] { return heard(bHears, 440); }, Wait));
        QVERIFY(QTest::qWaitFor([&] { return heard(speaker.probe, 880); }, Wait));

        bHears.detach();
        a.close();
        b.close();
        QCOMPARE(WebRTCManager::alivePipelineCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestPulseCall)
#include "tst_pulsecall.moc"
