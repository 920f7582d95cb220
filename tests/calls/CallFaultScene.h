#pragma once

// Members whose whole call stacks reach the reference server and each other through a loopback
// relay, for the fault table (tst_callfaults) and bench_calls.
#include "CallAPIClient.h"
#include "CallTest.h"
#include "CallWindows.h"
#include "LoopbackRelay.h"

#include <QSet>

#include <map>

class QQmlEngine;
class QQuickWindow;

namespace CallTest {

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

struct Person : Line, Member
{
    Person(const QString &serverUrl, UdpRelay *media, QQmlEngine *engine, const MediaConfig &config,
           QString memberId, QString memberToken, int frequency);
    ~Person() override;
    QQuickWindow *incoming() const;
    QQuickWindow *outgoing() const;
    std::unique_ptr<CallWindows> windows; // none without an engine
};

class CallFaultScene
{
public:
    // With `pulse`, Anna's microphone and speaker are the sound server's (a tone played into its
    // cable, a recording of its monitor): the production elements, and a capture stream left open
    // would show.
    CallFaultScene(const QString &serverUrl, QQmlEngine *engine, bool pulse);
    ~CallFaultScene();

    bool signIn(const QStringList &names);
    Person &person(const QString &name) { return *m_people.at(name); }
    QList<Person *> people() const;
    QVariantMap friendMap(const Person &p) const;

    // Both sides on a connected call, each hearing the other's tone.
    bool talking(Person &a, Person &b);
    // What the person hears (for Anna on the sound server, her speaker's monitor).
    AudioProbe &ear(Person &p);
    // Gone without a word (no end, no more packets or polls), and back as a fresh start.
    void kill(const QString &name);
    void revive(const QString &name);
    // Every call placed so far is over on the server.
    bool noLiveCallOnServer();

    UdpRelay media;

private:
    void add(const QString &name);

    QString m_serverUrl;
    QQmlEngine *m_engine;
    bool m_pulse;
    CallAPIClient m_direct;
    std::map<QString, std::pair<QString, QString>> m_logins;
    std::map<QString, std::unique_ptr<Person>> m_people;
    std::vector<std::unique_ptr<Person>> m_dead; // their requests still out keep their way to the server
    QSet<QString> m_callIds;
    GstElement *m_voice = nullptr;
    GstElement *m_ear = nullptr;
    AudioProbe m_earProbe;
};

} // namespace CallTest
