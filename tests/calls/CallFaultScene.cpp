#include "CallFaultScene.h"

#include <QQuickWindow>
#include <QTest>

#include <QCoro/QCoroTask>

#include <gst/gst.h>

namespace CallTest {

Person::Person(const QString &serverUrl, UdpRelay *media, QQmlEngine *engine, const MediaConfig &config,
               QString memberId, QString memberToken, int frequency)
    : Line(serverUrl, media)
    , Member(&api, config, std::move(memberId), std::move(memberToken), frequency)
{
    if (engine)
        windows = std::make_unique<CallWindows>(calls.get(), &api, [this] { return currentToken(); }, engine, nullptr);
    calls->startPolling();
}

Person::~Person()
{
    windows.reset();
}

QQuickWindow *Person::incoming() const
{
    return windows ? qobject_cast<QQuickWindow *>(windows->incomingWindow()) : nullptr;
}

QQuickWindow *Person::outgoing() const
{
    return windows ? qobject_cast<QQuickWindow *>(windows->outgoingWindow()) : nullptr;
}

CallFaultScene::CallFaultScene(const QString &serverUrl, QQmlEngine *engine, bool pulse)
    : m_serverUrl(serverUrl)
    , m_engine(engine)
    , m_pulse(pulse)
    , m_direct(serverUrl)
{
}

CallFaultScene::~CallFaultScene()
{
    m_people.clear();
    m_dead.clear();
    m_earProbe.detach();
    for (GstElement *pipeline : {m_voice, m_ear}) {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }
}

bool CallFaultScene::signIn(const QStringList &names)
{
    for (const QString &name : names) {
        const auto login = CallTest::signIn(m_serverUrl, name);
        if (!login)
            return false;
        m_logins[name] = *login;
        add(name);
    }
    return true;
}

void CallFaultScene::add(const QString &name)
{
    static const QHash<QString, int> tones{{"anna", 440}, {"boris", 880}, {"maria", 660}};
    const int tone = tones.value(name, 550);
    MediaConfig config = toneConfig(tone);
    if (m_pulse && name == QLatin1String("anna")) {
        // The production elements on the sound server's default devices.
        config.sourceDescription = QStringLiteral("pulsesrc");
        config.sinkDescription = QStringLiteral("pulsesink");
    }
    const auto &[id, token] = m_logins.at(name);
    auto person = std::make_unique<Person>(m_serverUrl, &media, m_engine, config, id, token, tone);
    Person *p = person.get();
    QObject::connect(p->calls.get(), &CallManager::currentCallIdChanged, p->calls.get(), [this, p] {
        if (p->calls->currentCallId())
            m_callIds.insert(*p->calls->currentCallId());
    });
    m_people[name] = std::move(person);
}

QList<Person *> CallFaultScene::people() const
{
    QList<Person *> list;
    for (const auto &[name, p] : m_people)
        list.append(p.get());
    return list;
}

QVariantMap CallFaultScene::friendMap(const Person &p) const
{
    for (const auto &[name, login] : m_logins)
        if (login.first == p.id)
            return {{"id", p.id}, {"name", name}, {"lastName", "Tester"}, {"username", name}, {"avatar", ""}};
    return {};
}

bool CallFaultScene::talking(Person &a, Person &b)
{
    const bool up = QTest::qWaitFor([&] {
        return a.calls->status() == CallManagerStatus::Active && b.calls->status() == CallManagerStatus::Active
            && a.media->connectionState() == WebRTCManager::Connected
            && b.media->connectionState() == WebRTCManager::Connected && a.media->hasRemoteAudioTrack()
            && b.media->hasRemoteAudioTrack();
    }, Wait);
    if (!up)
        return false;
    if (m_pulse && !m_voice) {
        // Anna's voice: a tone into the cable her microphone hears; her ear: her speaker's monitor.
        auto start = [](const char *description) {
            GstElement *pipeline = gst_parse_launch(description, nullptr);
            gst_object_ref_sink(pipeline);
            gst_element_set_state(pipeline, GST_STATE_PLAYING);
            return pipeline;
        };
        m_voice = start("audiotestsrc is-live=true wave=sine freq=440 volume=0.3 ! pulsesink device=cable");
        m_ear = start(("pulsesrc device=speaker.monitor client-name=orvane-test-ear ! " + AudioProbe::sinkDescription()).toUtf8().constData());
        m_earProbe.attach(m_ear);
    }
    for (Person *p : {&a, &b})
        if (!(m_ear && p == m_people.at(QStringLiteral("anna")).get()) && !p->probe.attach(p->media->pipeline()))
            return false;
    return hears(ear(a), b.tone) && hears(ear(b), a.tone);
}

AudioProbe &CallFaultScene::ear(Person &p)
{
    return m_ear && &p == m_people.at(QStringLiteral("anna")).get() ? m_earProbe : p.probe;
}

void CallFaultScene::kill(const QString &name)
{
    auto &p = m_people.at(name);
    p->signedOut = true; // no request leaves any more
    p->windows.reset();
    p->calls.reset();
    p->probe.detach();
    p->media->close();
    m_dead.push_back(std::move(p));
    m_people.erase(name);
}

void CallFaultScene::revive(const QString &name)
{
    add(name);
}

bool CallFaultScene::noLiveCallOnServer()
{
    const QString token = m_logins.begin()->second.second;
    for (const QString &id : std::as_const(m_callIds)) {
        // Either side may ask; the first login took part in every call of the scene.
        const auto status = QCoro::waitFor(m_direct.getCallStatus(token, id));
        if (!status || !status.value().call)
            return false;
        const QString s = status.value().call->status;
        if (s == QLatin1String("ringing") || s == QLatin1String("active"))
            return false;
    }
    return true;
}

} // namespace CallTest
