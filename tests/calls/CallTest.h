#pragma once

// What the call tests share: tone microphones, listening to what a peer decoded, and signing in to
// the reference server.
#include "AudioProbe.h"
#include "MediaConfig.h"

#include <optional>
#include <utility>

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

} // namespace CallTest
