#pragma once

// What the call tests share: tone microphones, listening to what a peer decoded, and signing in to
// the reference server.
#include "AudioProbe.h"
#include "CallManager.h"
#include "MediaConfig.h"
#include "WebRTCManager.h"

#include <memory>
#include <optional>
#include <utility>

class CallAPIClient;

namespace CallTest {

constexpr int Wait = 20000; // generous: a loaded machine must not fail a correct call

// A live sine as the microphone, an appsink an AudioProbe can attach to as the speaker, ICE on loopback.
MediaConfig toneConfig(int frequency);

// The next `ms` milliseconds the probe collects; empty when they do not come within Wait.
std::vector<float> nextAudio(AudioProbe &probe, int ms);

// Within Wait, a window of `ms` holds `frequency` (within 5 %) above -30 dBFS.
bool hears(AudioProbe &probe, int frequency, int ms = 400);

// Within Wait, a window falls below -60 dBFS.
bool silent(AudioProbe &probe);

// (member id, session token) of a demo member of the server at `serverUrl`.
std::optional<std::pair<QString, QString>> signIn(const QString &serverUrl, const QString &name);

// A signed-in member with its own media session and call manager.
struct Member
{
    Member(CallAPIClient *api, const MediaConfig &config, QString memberId, QString memberToken, int frequency = 0);
    virtual ~Member();
    Member(const Member &) = delete;
    Member &operator=(const Member &) = delete;

    std::optional<QString> currentToken() const;

    QString id;
    QString token;
    int tone;
    bool signedOut = false; // no token from then on
    std::unique_ptr<WebRTCManager> media;
    std::unique_ptr<CallManager> calls;
    AudioProbe probe;
};

} // namespace CallTest
