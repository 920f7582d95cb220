#include "CallTest.h"

#include "APIClient.h"

#include <QCoro/QCoroTask>
#include <QTest>

#include <cmath>

namespace CallTest {

MediaConfig toneConfig(int frequency)
{
    MediaConfig config;
    config.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.3").arg(frequency);
    config.sinkDescription = AudioProbe::sinkDescription();
    config.iceAddress = QStringLiteral("127.0.0.1");
    return config;
}

std::vector<float> nextAudio(AudioProbe &probe, int ms)
{
    const size_t wanted = size_t(AudioProbe::Rate) * size_t(ms) / 1000;
    probe.clear();
    if (!QTest::qWaitFor([&] { return probe.sampleCount() >= wanted; }, Wait))
        return {};
    return probe.lastSamples(wanted);
}

bool hears(AudioProbe &probe, int frequency, int ms)
{
    return QTest::qWaitFor([&] {
        const std::vector<float> heard = nextAudio(probe, ms);
        const double db = AudioProbe::rmsDbfs(heard);
        const double hz = AudioProbe::frequency(heard);
        if (qEnvironmentVariableIsSet("CALLS_VERBOSE"))
            qInfo("level %.1f dBFS, %.1f Hz (want %d Hz)", db, hz, frequency);
        return !heard.empty() && db > -30 && std::abs(hz - frequency) <= frequency * 0.05;
    }, Wait);
}

bool silent(AudioProbe &probe)
{
    return QTest::qWaitFor([&] { return AudioProbe::rmsDbfs(nextAudio(probe, 200)) < -60; }, Wait);
}

std::optional<std::pair<QString, QString>> signIn(const QString &serverUrl, const QString &name)
{
    APIClient api(serverUrl);
    const auto result = QCoro::waitFor(api.login(name + QStringLiteral("@demo.theorvane.example"), QStringLiteral("demo1234")));
    if (!result || !result.value().token || !result.value().user)
        return std::nullopt;
    return std::make_pair(result.value().user->id, *result.value().token);
}

Member::Member(CallAPIClient *api, const MediaConfig &config, QString memberId, QString memberToken, int frequency)
    : id(std::move(memberId))
    , token(std::move(memberToken))
    , tone(frequency)
    , media(std::make_unique<WebRTCManager>(config))
    , calls(std::make_unique<CallManager>(api, media.get(), [this] { return currentToken(); }, nullptr))
{
}

Member::~Member()
{
    // A case that failed half-way must not leave the member busy on the server for the next.
    if (calls && calls->currentCallId())
        QCoro::waitFor(calls->endCall());
    calls.reset();
    probe.detach();
    media->close();
}

std::optional<QString> Member::currentToken() const
{
    if (signedOut)
        return std::nullopt;
    return token;
}

} // namespace CallTest
