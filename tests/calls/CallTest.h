#pragma once

// What the call tests share: tone microphones, listening to what a peer decoded, the diagnostic
// lines, signing in to the reference server, and members whose whole call stacks (windows, call
// manager, media) reach the server and each other through a loopback relay.
#include "AudioProbe.h"
#include "AudioSettingsManager.h"
#include "CallAPIClient.h"
#include "CallManager.h"
#include "CallWindows.h"
#include "LoopbackRelay.h"
#include "MediaConfig.h"
#include "WebRTCManager.h"

#include <QSet>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

class QQmlEngine;
class QQuickWindow;

namespace CallTest {

constexpr int Wait = 20000; // generous: a loaded machine must not fail a correct call

// A live sine as the microphone, an appsink an AudioProbe can attach to as the speaker, ICE on loopback.
MediaConfig toneConfig(int frequency);

// Within Wait, a window of `ms` holds `frequency` (within 5 %) above -30 dBFS.
bool hears(AudioProbe &probe, int frequency, int ms = 400);

// Within Wait, a window falls below -60 dBFS.
bool silent(AudioProbe &probe);

// (member id, session token) of a demo member of the server at `serverUrl`.
std::optional<std::pair<QString, QString>> signIn(const QString &serverUrl, const QString &name);

// The diagnostic lines written while it lives (from any thread), instead of standard output.
class DiagnosticLines
{
public:
    DiagnosticLines();
    ~DiagnosticLines();
    QStringList lines() const;
    int count(const QString &line) const { return int(lines().count(line)); }

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
};

// A signed-in member with its own media session and call manager.
struct Member
{
    Member(CallAPIClient *api, const MediaConfig &config, QString memberId, QString memberToken, int frequency = 0);
    virtual ~Member();

    std::optional<QString> currentToken() const;

    QString id;
    QString token;
    int tone;
    bool signedOut = false; // no token from then on
    std::unique_ptr<WebRTCManager> media;
    std::unique_ptr<CallManager> calls;
    AudioProbe probe;
};

// The member's own way to the server (built before the member's stack, which uses it).
struct Line
{
    Line(const QString &serverUrl, UdpRelay *media)
        : http(serverUrl, media)
        , api(http.url())
    {
    }
    HttpRelay http;
    CallAPIClient api;
};

// A member through the relay, polling for calls, with call windows when there is an engine.
struct Person : Line, Member
{
    Person(const QString &serverUrl, UdpRelay *media, QQmlEngine *engine, const MediaConfig &config,
           QString memberId, QString memberToken, int frequency);
    QQuickWindow *incoming() const;
    QQuickWindow *outgoing() const;
    QString name;
    std::unique_ptr<CallWindows> windows;
    std::unique_ptr<AudioSettingsManager> settings; // devices chosen, on the sound server
};

class CallScene
{
public:
    // With `pulse`, Anna and Boris use the production elements on the sound server's virtual
    // devices: Anna the defaults ("mic" hears "cable", plays on "speaker"; the microphone she
    // chose is gone), Boris the second set chosen in his settings ("mic2" hears "cable2", plays
    // on "speaker2"). A capture stream left open would show there.
    CallScene(const QString &serverUrl, QQmlEngine *engine, bool pulse);

    bool signIn(const QStringList &names);
    Person &person(const QString &name) { return *m_people.at(name); }
    QList<Person *> people() const;
    QVariantMap friendMap(const Person &p) const;

    // Both sides on a connected call, each hearing the other's tone (b hears silence while a is muted).
    bool talking(Person &a, Person &b, bool aMuted = false);
    // What the person hears (on the sound server, a recording of the speaker's monitor).
    AudioProbe &ear(Person &p);
    // Gone without a word (no end, no more packets or polls), and back as a fresh start.
    void kill(const QString &name);
    void revive(const QString &name)
    {
        if (!m_people.count(name))
            add(name);
    }
    // Every call placed so far is over on the server.
    bool noLiveCallOnServer();

    UdpRelay media;

private:
    void add(const QString &name);
    bool onSoundServer(const QString &name) const;

    QString m_serverUrl;
    QQmlEngine *m_engine;
    bool m_pulse;
    CallAPIClient m_direct;
    std::map<QString, std::pair<QString, QString>> m_logins;
    QSet<QString> m_callIds;
    std::map<QString, std::unique_ptr<AudioProbe>> m_voices, m_ears; // on the sound server
    // Last, so the people go first and the dead after them.
    std::vector<std::unique_ptr<Person>> m_dead; // their requests still out keep their way to the server
    std::map<QString, std::unique_ptr<Person>> m_people;
};

} // namespace CallTest
