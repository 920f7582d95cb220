#include "CallTest.h"

#include "APIClient.h"
#include "Diagnostics.h"

#include <QCoro/QCoroTask>
#include <QQuickWindow>
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

bool hears(AudioProbe &probe, int frequency, int ms)
{
    return QTest::qWaitFor([&] {
        const std::vector<float> heard = probe.next(ms, Wait);
        const double db = AudioProbe::rmsDbfs(heard);
        const double hz = AudioProbe::frequency(heard);
        if (qEnvironmentVariableIsSet("CALLS_VERBOSE"))
            qInfo("level %.1f dBFS, %.1f Hz (want %d Hz)", db, hz, frequency);
        return !heard.empty() && db > -30 && std::abs(hz - frequency) <= frequency * 0.05;
    }, Wait);
}

bool silent(AudioProbe &probe)
{
    return QTest::qWaitFor([&] { return AudioProbe::rmsDbfs(probe.next(200, Wait)) < -60; }, Wait);
}

DiagnosticLines::DiagnosticLines()
{
    setDiagnosticsSink([this](const QString &line) {
        std::lock_guard lock(m_mutex);
        m_lines.append(line);
    });
}

DiagnosticLines::~DiagnosticLines()
{
    setDiagnosticsSink({});
    // A failing test's log stays readable.
    for (const QString &line : std::as_const(m_lines))
        diag(line);
}

QStringList DiagnosticLines::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
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

Person::Person(const QString &serverUrl, UdpRelay *media, QQmlEngine *engine, const MediaConfig &config,
               QString memberId, QString memberToken, int frequency)
    : Line(serverUrl, media)
    , Member(&api, config, std::move(memberId), std::move(memberToken), frequency)
{
    if (engine)
        windows = std::make_unique<CallWindows>(calls.get(), &api, [this] { return currentToken(); }, engine, nullptr);
    calls->startPolling();
}

QQuickWindow *Person::incoming() const
{
    return windows ? qobject_cast<QQuickWindow *>(windows->incomingWindow()) : nullptr;
}

QQuickWindow *Person::outgoing() const
{
    return windows ? qobject_cast<QQuickWindow *>(windows->outgoingWindow()) : nullptr;
}

CallScene::CallScene(const QString &serverUrl, QQmlEngine *engine, bool pulse)
    : m_serverUrl(serverUrl)
    , m_engine(engine)
    , m_pulse(pulse)
    , m_direct(serverUrl)
{
}

bool CallScene::signIn(const QStringList &names)
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

bool CallScene::onSoundServer(const QString &name) const
{
    return m_pulse && (name == QLatin1String("anna") || name == QLatin1String("boris"));
}

void CallScene::add(const QString &name)
{
    static const QHash<QString, int> tones{{"anna", 440}, {"boris", 880}, {"maria", 660}};
    const int tone = tones.value(name, 550);
    MediaConfig config = toneConfig(tone);
    if (onSoundServer(name)) {
        // What the application runs.
        config.sourceDescription = QStringLiteral("pulsesrc");
        config.sinkDescription = QStringLiteral("pulsesink");
    }
    const auto &[id, token] = m_logins.at(name);
    auto person = std::make_unique<Person>(m_serverUrl, &media, m_engine, config, id, token, tone);
    Person *p = person.get();
    p->name = name;
    if (onSoundServer(name)) {
        // Boris chose the second set; the microphone Anna chose is gone, so hers is the default.
        const bool boris = name == QLatin1String("boris");
        p->settings = std::make_unique<AudioSettingsManager>(nullptr);
        p->settings->setMicrophoneDevice(boris ? QStringLiteral("mic2") : QStringLiteral("gone"));
        if (boris)
            p->settings->setSpeakerDevice(QStringLiteral("speaker2"));
        p->media->followAudioSettings(p->settings.get());
    }
    QObject::connect(p->calls.get(), &CallManager::currentCallIdChanged, p->calls.get(), [this, p] {
        if (p->calls->currentCallId())
            m_callIds.insert(*p->calls->currentCallId());
    });
    m_people[name] = std::move(person);
}

QList<Person *> CallScene::people() const
{
    QList<Person *> list;
    for (const auto &[name, p] : m_people)
        list.append(p.get());
    return list;
}

QVariantMap CallScene::friendMap(const Person &p) const
{
    return {{"id", p.id}, {"name", p.name}, {"lastName", "Tester"}, {"username", p.name}, {"avatar", ""}};
}

bool CallScene::talking(Person &a, Person &b, bool aMuted)
{
    const bool up = QTest::qWaitFor([&] {
        return a.calls->status() == CallManagerStatus::Active && b.calls->status() == CallManagerStatus::Active
            && a.media->connectionState() == WebRTCManager::Connected
            && b.media->connectionState() == WebRTCManager::Connected && a.media->hasRemoteAudioTrack()
            && b.media->hasRemoteAudioTrack();
    }, Wait);
    if (!up)
        return false;
    for (Person *p : {&a, &b}) {
        const QString &name = p->name;
        if (!onSoundServer(name)) {
            if (!p->probe.attach(p->media->pipeline()))
                return false;
        } else if (!m_voices.count(name)) {
            // The member's voice: a tone into the cable its microphone hears; its ear: its speaker's monitor.
            const bool second = name == QLatin1String("boris");
            m_voices[name] = std::make_unique<AudioProbe>();
            m_ears[name] = std::make_unique<AudioProbe>();
            const QString voice = QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.3 ! pulsesink device=%2");
            const QString ear = QStringLiteral("pulsesrc device=%1.monitor client-name=orvane-test-ear ! ");
            if (!m_voices[name]->play(voice.arg(p->tone).arg(second ? "cable2" : "cable"))
                || !m_ears[name]->play(ear.arg(second ? "speaker2" : "speaker") + AudioProbe::sinkDescription()))
                return false;
        }
    }
    return hears(ear(a), b.tone) && (aMuted ? silent(ear(b)) : hears(ear(b), a.tone));
}

AudioProbe &CallScene::ear(Person &p)
{
    const auto it = m_ears.find(p.name);
    return it != m_ears.end() ? *it->second : p.probe;
}

void CallScene::kill(const QString &name)
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

bool CallScene::noLiveCallOnServer()
{
    for (const QString &id : std::as_const(m_callIds)) {
        std::optional<QString> status;
        for (auto it = m_logins.begin(); !status && it != m_logins.end(); ++it) {
            // Only the call's two sides may ask.
            const auto reply = QCoro::waitFor(m_direct.getCallStatus(it->second.second, id));
            if (reply && reply.value().call)
                status = reply.value().call->status;
        }
        if (!status || status == QLatin1String("ringing") || status == QLatin1String("active"))
            return false;
    }
    return true;
}

} // namespace CallTest
