// Loopback call set-up and running cost: two call pipelines in this process, test tones as
// microphones, fakesinks as speakers, ICE on 127.0.0.1 only and no STUN.
//
//   bench_calls [--calls N] [--cpu-seconds S] [--no-warmup]
//
// answer_to_connected_ms: from the callee creating its answer to both sides connected.
// connected_to_audio_ms: from a side's connection to its first decoded remote audio (worst side).
// call_cpu_percent: process CPU while one call runs, per side (one client's share).
// create_peer_connection_ms, close_ms: how long those calls hold the GUI thread.
// first_call_setup_to_offer_ms: first call's pipeline creation to its offer (DTLS certificate
// included unless warmed up).
// With the reference server and the call tests' loopback relay (median of three):
// peer_vanished_detect_ms: the peer's network cut (media and signalling) → the survivor's call
// over, its media closed (goal ≤ 15000).
// network_stall_incoming_ms: a call placed to a member whose signalling is stalled for 10 s →
// the member's incoming window asked for, counted from the end of the stall (goal ≤ 3000).
#include "WebRTCManager.h"

#ifdef ORVANE_BENCH_FAULTS
#include "CallTest.h"
#include "ReferenceServer.h"

#include <QCoro/QCoroTask>
#endif

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
    return true;
}

MediaConfig config(int frequency)
{
    MediaConfig c;
    c.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.3").arg(frequency);
    c.sinkDescription = QStringLiteral("fakesink sync=true");
    c.iceAddress = QStringLiteral("127.0.0.1");
    return c;
}

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Timing
{
    double answerToConnected = 0;
    double connectedToAudio = 0;
    double createMs = 0;   // GUI thread blocked in one createPeerConnection()
    double closeMs = 0;    // GUI thread blocked in one close() of a running call
};

struct Side
{
    explicit Side(int frequency) : manager(config(frequency))
    {
        QObject::connect(&manager, &WebRTCManager::remoteAudioStarted, [this] { audioAt = clock.nsecsElapsed(); });
        manager.onConnectionStateChanged = [this](int state) {
            if (state == WebRTCManager::Connected && connectedAt < 0)
                connectedAt = clock.nsecsElapsed();
        };
    }
    void reset()
    {
        connectedAt = audioAt = -1;
    }
    WebRTCManager manager;
    QElapsedTimer clock;
    qint64 connectedAt = -1;
    qint64 audioAt = -1;
};

std::optional<Timing> oneCall(Side &a, Side &b, int cpuSeconds, double *cpuPercent, double *offerMs = nullptr)
{
    QElapsedTimer setup;
    setup.start();
    a.reset();
    b.reset();
    a.manager.onIceCandidate = [&](const WebRTCManager::IceCandidate &c) { b.manager.addIceCandidate(c); };
    b.manager.onIceCandidate = [&](const WebRTCManager::IceCandidate &c) { a.manager.addIceCandidate(c); };
    QElapsedTimer blocked;
    blocked.start();
    a.manager.createPeerConnection();
    const double createMs = double(blocked.nsecsElapsed()) / 1e6;
    b.manager.createPeerConnection();

    std::optional<std::optional<WebRTCManager::SessionDescription>> offer, answer;
    std::optional<bool> offerSet;
    a.manager.createOffer([&](auto d) { offer = d; });
    if (!waitFor([&] { return offer.has_value(); }) || !*offer)
        return std::nullopt;
    if (offerMs)
        *offerMs = double(setup.nsecsElapsed()) / 1e6;
    b.manager.setRemoteDescription(**offer, [&](bool ok) { offerSet = ok; });
    if (!waitFor([&] { return offerSet.has_value(); }) || !*offerSet)
        return std::nullopt;

    QElapsedTimer clock;
    clock.start();
    a.clock = b.clock = clock;
    b.manager.createAnswer([&](auto d) {
        answer = d;
        if (d)
            a.manager.setRemoteDescription(*d, [](bool) {});
    });
    if (!waitFor([&] { return a.connectedAt >= 0 && b.connectedAt >= 0 && a.audioAt >= 0 && b.audioAt >= 0; }))
        return std::nullopt;

    Timing timing;
    timing.createMs = createMs;
    timing.answerToConnected = double(std::max(a.connectedAt, b.connectedAt)) / 1e6;
    timing.connectedToAudio = double(std::max(a.audioAt - a.connectedAt, b.audioAt - b.connectedAt)) / 1e6;

    if (cpuPercent) {
        const double cpuStart = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        waitFor([&] { return wall.elapsed() >= cpuSeconds * 1000; }, cpuSeconds * 1000 + 1000);
        *cpuPercent = (processCpuSeconds() - cpuStart) / (double(wall.nsecsElapsed()) / 1e9) * 100.0;
    }
    blocked.restart();
    a.manager.close();
    timing.closeMs = double(blocked.nsecsElapsed()) / 1e6;
    b.manager.close();
    return timing;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

#ifdef ORVANE_BENCH_FAULTS
// Anna calls Boris through the relay and he answers: true once both hear each other's media.
bool connectCall(CallTest::Person &anna, CallTest::Person &boris)
{
    if (!QCoro::waitFor(anna.calls->initiateCall(boris.id)))
        return false;
    const QString callId = anna.calls->currentCallIdString();
    if (!waitFor([&] { return boris.calls->incomingCall() && boris.calls->incomingCall()->id == callId; })
        || !QCoro::waitFor(boris.calls->answerCall(callId)))
        return false;
    return waitFor([&] {
        return anna.calls->status() == CallManagerStatus::Active && anna.media->hasRemoteAudioTrack()
            && boris.media->hasRemoteAudioTrack();
    });
}

bool idle(CallTest::Person &p)
{
    return !p.calls->isCallInProgress() && !p.media->hasPeerConnection();
}

// Both figures, or false when a call did not go as it should.
bool faultFigures(FILE *figures)
{
    qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
    ReferenceServer server;
    if (!server.start())
        return false;
    CallTest::CallScene scene(server.serverUrl(), nullptr, false);
    if (!scene.signIn({QStringLiteral("anna"), QStringLiteral("boris")}))
        return false;
    CallTest::Person &anna = scene.person(QStringLiteral("anna"));
    CallTest::Person &boris = scene.person(QStringLiteral("boris"));
    std::vector<double> vanished, stalled;
    for (int i = 0; i < 3; ++i) {
        scene.media.setBlackHole(false);
        if (!connectCall(anna, boris))
            return false;
        QElapsedTimer clock;
        clock.start();
        scene.media.setBlackHole(true);
        boris.http.hold();
        if (!waitFor([&] { return idle(anna); }, 30000))
            return false;
        vanished.push_back(double(clock.nsecsElapsed()) / 1e6);
        boris.http.release(false);
        scene.media.setBlackHole(false);
        if (!waitFor([&] { return idle(boris) && boris.calls->unansweredPostCount() == 0; }, 30000))
            return false;

        // The stall begins; a second later Anna calls; ten seconds after it began, it ends.
        bool shown = false;
        QMetaObject::Connection seen = QObject::connect(boris.calls.get(), &CallManager::incomingCallReceived,
                                                        [&] { shown = true; });
        boris.http.hold();
        waitFor([] { return false; }, 1000);
        if (!QCoro::waitFor(anna.calls->initiateCall(boris.id)))
            return false;
        waitFor([] { return false; }, 9000);
        if (shown)
            return false; // the stall did not hide it: the figure would mean nothing
        clock.restart();
        boris.http.release(false); // what the stalled network swallowed stays lost
        if (!waitFor([&] { return shown; }, 30000))
            return false;
        stalled.push_back(double(clock.nsecsElapsed()) / 1e6);
        QObject::disconnect(seen);
        QCoro::waitFor(boris.calls->declineCall(boris.calls->incomingCall()->id));
        if (!waitFor([&] { return idle(anna) && idle(boris); }, 30000))
            return false;
        QCoro::waitFor(anna.calls->endCall());
    }
    std::fprintf(figures, "peer_vanished_detect_ms=%.0f\n", median(vanished));
    std::fprintf(figures, "network_stall_incoming_ms=%.0f\n", median(stalled));
    return true;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    qputenv("THEORVANE_STUN_SERVERS", "");
    QCoreApplication app(argc, argv);
    int calls = 10;
    int cpuSeconds = 5;
    bool warm = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--calls") && i + 1 < args.size())
            calls = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--cpu-seconds") && i + 1 < args.size())
            cpuSeconds = std::max(1, args[++i].toInt());
        else if (args[i] == QLatin1String("--no-warmup"))
            warm = false;
    }

    // The diagnostics of every call would drown the figures.
    std::fflush(stdout);
    FILE *figures = fdopen(dup(fileno(stdout)), "w");
    if (!freopen("/dev/null", "w", stdout))
        return 1;

    Side a(440), b(880);
    if (warm) {
        a.manager.warmUp();
        b.manager.warmUp();
        waitFor([] { return false; }, 1500);
    }

    std::vector<double> toConnected, toAudio, creating, closing;
    double firstOfferMs = 0;
    for (int i = 0; i < calls; ++i) {
        const auto timing = oneCall(a, b, cpuSeconds, nullptr, i == 0 ? &firstOfferMs : nullptr);
        if (!timing) {
            std::fprintf(figures, "call %d failed\n", i + 1);
            return 1;
        }
        std::fprintf(figures, "call %d: answer_to_connected=%.1f ms connected_to_audio=%.1f ms\n", i + 1,
                     timing->answerToConnected, timing->connectedToAudio);
        toConnected.push_back(timing->answerToConnected);
        creating.push_back(timing->createMs);
        closing.push_back(timing->closeMs);
        toAudio.push_back(timing->connectedToAudio);
    }
    double cpu = 0;
    if (!oneCall(a, b, cpuSeconds, &cpu)) {
        std::fprintf(figures, "cpu call failed\n");
        return 1;
    }
    std::fprintf(figures, "first_call_setup_to_offer_ms=%.1f\n", firstOfferMs);
    std::fprintf(figures, "answer_to_connected_ms=%.1f\n", median(toConnected));
    std::fprintf(figures, "answer_to_connected_max_ms=%.1f\n", *std::max_element(toConnected.begin(), toConnected.end()));
    std::fprintf(figures, "connected_to_audio_ms=%.1f\n", median(toAudio));
    std::fprintf(figures, "connected_to_audio_max_ms=%.1f\n", *std::max_element(toAudio.begin(), toAudio.end()));
    std::fprintf(figures, "create_peer_connection_ms=%.1f\n", median(creating));
    std::fprintf(figures, "close_ms=%.1f\n", median(closing));
    std::fprintf(figures, "call_cpu_percent=%.1f\n", cpu / 2);
    std::fprintf(figures, "call_cpu_percent_both_sides=%.1f\n", cpu);
#ifdef ORVANE_BENCH_FAULTS
    if (!faultFigures(figures)) {
        std::fprintf(figures, "fault figures failed\n");
        return 1;
    }
#endif
    std::fclose(figures);
    return 0;
}
