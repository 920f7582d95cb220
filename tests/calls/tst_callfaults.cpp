// Calls in a person's real day, one row per fault: members' whole call stacks (call
// windows, call manager, media) signed in to the reference server on 127.0.0.1, each through a
// loopback relay that can hold or lose its signalling and black-hole the media. On the test
// session's sound server Anna and Boris talk through the production elements, Boris on the devices
// chosen in his settings. After every row both sides are idle, the server holds no live call, no
// pipeline is alive and the process has no capture stream open.
#include "CallTest.h"

#include "AppPalette.h"
#include "CallStateManager.h"
#include "ReferenceServer.h"
#include "ThemeManager.h"

#include <QProcess>
#include <QSignalSpy>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

#include <QCoro/QCoroTask>

Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

namespace {

using namespace CallTest;

enum class Fault {
    FirstCallAtOnce,        // fault 0: fresh plugin registry, call placed and answered at once
    EarlyCandidates,        // DESIGN F1, and polls that report the same answer and candidates again
    PeerKilled,             // fault 3
    NetworkCut,             // fault 3, one side
    SignallingStalled,      // fault 4: 20 s
    AnswerReplyLost,        // fault 4
    SecondCallWhileRinging, // fault 2
    SecondCallWhileActive,  // fault 2
    TitleBarCloseRinging,   // DESIGN F2: declines
    TitleBarCloseAnswering, // fault 5
    MuteThenNextCall,       // fault 1
    CalleeBusyThenNoAnswer,
};

constexpr int Target = 15000; // peer gone at the network level → survivor idle

// Capture streams the sound server lists for this process (the test's own ear aside); -1 without one.
int captureStreams()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("source-outputs")});
    if (!pactl.waitForFinished() || pactl.exitCode() != 0)
        return -1;
    const QByteArray pid = "application.process.id = \"" + QByteArray::number(QCoreApplication::applicationPid()) + '"';
    int streams = 0;
    for (const QByteArray &stream : pactl.readAllStandardOutput().split('#')) // one "Source Output #N" each
        streams += stream.contains(pid) && !stream.contains("orvane-test-ear");
    return streams;
}

QObject *find(QQuickWindow *window, const char *name)
{
    return window ? window->findChild<QObject *>(name) : nullptr;
}

bool shown(QQuickWindow *window, const char *name)
{
    QObject *item = find(window, name);
    return item && item->property("visible").toBool();
}

bool click(QQuickWindow *window, const char *name)
{
    return shown(window, name) && QMetaObject::invokeMethod(find(window, name), "clicked");
}

} // namespace

class TestCallFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    ReferenceServer m_server;
    std::unique_ptr<CallAPIClient> m_api; // straight to the server
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<CallScene> m_scene;
    bool m_pulse = false;

    Person &anna() { return m_scene->person(QStringLiteral("anna")); }
    Person &boris() { return m_scene->person(QStringLiteral("boris")); }
    Person &maria() { return m_scene->person(QStringLiteral("maria")); }

    // Caller's window opens, callee's incoming window rings (its own poll finds the call).
    bool ring(Person &caller, Person &callee)
    {
        caller.windows->startCall(m_scene->friendMap(callee));
        return caller.outgoing()
            && QTest::qWaitFor([&] { return caller.calls->status() == CallManagerStatus::Ringing; }, Wait)
            && QTest::qWaitFor([&] { return callee.incoming() != nullptr; }, Wait);
    }

    bool answer(Person &callee)
    {
        return click(callee.incoming(), "answerButton")
            && QTest::qWaitFor([&] { return callee.incoming() && callee.incoming()->property("answered").toBool(); },
                               Wait)
            && !callee.windows->isRingtonePlaying();
    }

    bool call(Person &caller, Person &callee)
    {
        return ring(caller, callee) && answer(callee) && m_scene->talking(caller, callee);
    }

    // A hangs up from whichever window it has; a window left showing a final state is closed.
    void hangUp(Person &p)
    {
        if (!click(p.outgoing(), "endButton"))
            click(p.incoming(), "endButton");
    }

    // Idle as a person sees it: no call window (Close pressed on a finished one), nothing alive.
    bool settled(Person &p)
    {
        click(p.outgoing(), "closeButton");
        return !p.outgoing() && !p.incoming() && !p.calls->isCallInProgress() && !p.media->hasPeerConnection()
            && !p.calls->isAudioEngineRunning();
    }

    void verifySettled(int within)
    {
        QElapsedTimer clock;
        clock.start();
        for (Person *p : m_scene->people())
            QTRY_VERIFY_WITH_TIMEOUT(settled(*p), std::max(1, within - int(clock.elapsed())));
        QTRY_COMPARE_WITH_TIMEOUT(WebRTCManager::alivePipelineCount(), 0, 5000);
        if (m_pulse)
            QTRY_COMPARE_WITH_TIMEOUT(captureStreams(), 0, 5000);
        for (Person *p : m_scene->people())
            QTRY_VERIFY_WITH_TIMEOUT(p->calls->unansweredPostCount() == 0, Wait);
        QVERIFY2(m_scene->noLiveCallOnServer(), "the server still holds a ringing or active call");
        QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::None);
    }

private slots:
    void initTestCase()
    {
        // Fault 0 needs a plugin registry that nobody has built yet: GStreamer must not start
        // before the first row.
        qputenv("GST_REGISTRY", m_dir.filePath(QStringLiteral("registry.bin")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
        m_pulse = captureStreams() >= 0;
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_api = std::make_unique<CallAPIClient>(m_server.serverUrl());
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        m_scene = std::make_unique<CallScene>(m_server.serverUrl(), m_engine.get(), m_pulse);
        QVERIFY(m_scene->signIn({QStringLiteral("anna"), QStringLiteral("boris"), QStringLiteral("maria")}));
    }

    void cleanupTestCase() { m_scene.reset(); }

    // A row that failed half-way leaves neither the network cut nor a member gone, or the next
    // row (and the members' last end of call) would wait on them for ever.
    void cleanup()
    {
        m_scene->media.setBlackHole(false);
        m_scene->revive(QStringLiteral("boris"));
        for (Person *p : m_scene->people())
            p->http.release(false);
    }

    void faults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::newRow("first call at once, fresh plugin registry") << Fault::FirstCallAtOnce;
        QTest::newRow("early candidates, repeated answer and candidates") << Fault::EarlyCandidates;
        QTest::newRow("peer process killed mid-call") << Fault::PeerKilled;
        QTest::newRow("network cut for one side") << Fault::NetworkCut;
        QTest::newRow("signalling stalled for 20 s") << Fault::SignallingStalled;
        QTest::newRow("reply to answer lost") << Fault::AnswerReplyLost;
        QTest::newRow("second call while ringing") << Fault::SecondCallWhileRinging;
        QTest::newRow("second call while active") << Fault::SecondCallWhileActive;
        QTest::newRow("title-bar close while ringing") << Fault::TitleBarCloseRinging;
        QTest::newRow("title-bar close during answering") << Fault::TitleBarCloseAnswering;
        QTest::newRow("mute in call 1, then call 2") << Fault::MuteThenNextCall;
        QTest::newRow("callee busy, then no answer") << Fault::CalleeBusyThenNoAnswer;
    }

    void faults()
    {
        QFETCH(Fault, fault);
        int target = Wait;
        switch (fault) {
        case Fault::FirstCallAtOnce: {
            // Warm-up and call begin together, as when a chat opens and the call button is hit.
            DiagnosticLines log;
            anna().windows->prepareForCalls();
            QVERIFY(call(anna(), boris()));
            if (m_pulse)
                QCOMPARE(log.count(QStringLiteral("[Audio] Microphone \"gone\" not found, using the system default")), 1);
            QVERIFY(!anna().windows->isRingbackPlaying());
            QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::Active);
            if (m_pulse) {
                // A speaker chosen during the call takes the call's sound along.
                boris().settings->setSpeakerDevice(QString());
                QVERIFY(silent(m_scene->ear(boris())));
                boris().settings->setSpeakerDevice(QStringLiteral("speaker2"));
                QVERIFY(hears(m_scene->ear(boris()), anna().tone));
            }
            // The gear shows the audio settings; both windows follow a theme change at once, frame included.
            QVERIFY(click(anna().outgoing(), "settingsButton"));
            QVERIFY(shown(anna().outgoing(), "settingsPanel"));
            ThemeManager::shared().setMode(ThemeMode::Dark);
            auto light = qScopeGuard([] { ThemeManager::shared().setMode(ThemeMode::Light); });
            for (QQuickWindow *window : {anna().outgoing(), boris().incoming()}) {
                QTRY_VERIFY(window->property("darkAppearance").toBool());
                QCOMPARE(window->color(), AppPalette::dark().background);
                QCOMPARE(find(window, "statusLine")->property("color").value<QColor>(), AppPalette::dark().mutedForeground);
            }
            hangUp(anna());
            // The callee's window shows the end, then closes by itself.
            QTRY_VERIFY_WITH_TIMEOUT(boris().incoming() && boris().incoming()->property("callEnded").toBool(), Wait);
            break;
        }
        case Fault::EarlyCandidates: {
            // What each side found before it knew the call id reaches the server once it does.
            DiagnosticLines log;
            QStringList early;
            QObject watching; // its connections go with it, however the row ends
            for (auto [p, when] : {std::pair(&anna(), CallManagerStatus::Ringing), {&boris(), CallManagerStatus::Active}}) {
                QObject::connect(p->calls.get(), &CallManager::callStatusChanged, &watching, [p, when, &early] {
                    for (const QJsonObject &c : p->calls->pendingIceCandidates())
                        if (p->calls->status() == when)
                            early.append(c.value(QStringLiteral("candidate")).toString());
                });
            }
            QVERIFY(call(anna(), boris()));
            QVERIFY2(!early.isEmpty(), "no candidate was found before the call id: the check proves nothing");
            const QString callId = *anna().calls->currentCallId();
            QStringList posted;
            QTRY_VERIFY_WITH_TIMEOUT(([&] {
                const auto status = QCoro::waitFor(m_api->getCallStatus(anna().token, callId));
                posted.clear();
                if (!status || !status.value().call)
                    return false;
                const auto &call = *status.value().call;
                for (const auto &list : {call.callerCandidates, call.calleeCandidates})
                    for (const IceCandidate &c : list.value_or(QList<IceCandidate>{}))
                        posted.append(c.candidate);
                return std::all_of(early.begin(), early.end(), [&](const QString &c) { return posted.contains(c); });
            }()), Wait);

            // The answer is applied once however many polls report it, and a remote candidate listed
            // again, even under another sdpMid, is added once; a new one is added.
            for (int i = 0; i < 3; ++i)
                QCoro::waitFor(anna().calls->fetchIceCandidates());
            QCOMPARE(log.count(QStringLiteral("[CallManager] Got answer from callee, setting remote description")), 1);
            QCOMPARE(log.count(QStringLiteral("[CallManager] Remote answer set successfully!")), 1);
            const int added = anna().calls->remoteCandidatesAdded();
            for (const QString &line : {posted.last(), QStringLiteral("candidate:9 1 UDP 1 127.0.0.1 9 typ host")})
                QVERIFY(QCoro::waitFor(m_api->sendIceCandidate(boris().token, callId,
                                                                {{"candidate", line}, {"sdpMid", "other"}, {"sdpMLineIndex", 0}})));
            QCoro::waitFor(anna().calls->fetchIceCandidates());
            QCoro::waitFor(anna().calls->fetchIceCandidates());
            QCOMPARE(anna().calls->remoteCandidatesAdded(), added + 1);

            // While a call is in progress the incoming poll sends nothing; the clock runs.
            const int requests = boris().calls->incomingPollRequestCount();
            QCoro::waitFor(boris().calls->checkIncomingCalls());
            QCOMPARE(boris().calls->incomingPollRequestCount(), requests);
            QTRY_VERIFY_WITH_TIMEOUT(anna().calls->callDuration() >= 1 && boris().calls->callDuration() >= 1, Wait);
            hangUp(boris());
            QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("[CallManager] Call ended on server")), 1, Wait);
            QTRY_COMPARE_WITH_TIMEOUT(log.count(QStringLiteral("[CallManager] Call ended by other party")), 1, Wait);
            QCOMPARE(boris().calls->callDuration(), 0);
            break;
        }
        case Fault::PeerKilled:
        case Fault::NetworkCut: {
            QVERIFY(call(anna(), boris()));
            m_scene->media.setBlackHole(true);
            if (fault == Fault::PeerKilled) {
                m_scene->kill(QStringLiteral("boris"));
            } else {
                boris().http.hold(); // his whole network is gone, signalling too
            }
            QElapsedTimer clock;
            clock.start();
            QTRY_VERIFY_WITH_TIMEOUT(settled(anna()), Target);
            if (fault == Fault::NetworkCut) {
                QTRY_VERIFY_WITH_TIMEOUT(settled(boris()), Target - int(clock.elapsed()));
                boris().http.release(false);
            } else {
                m_scene->revive(QStringLiteral("boris"));
            }
            target = Target;
            break;
        }
        case Fault::SignallingStalled: {
            QVERIFY(call(anna(), boris()));
            anna().http.hold();
            boris().http.hold();
            QTest::qWait(20000);
            // The media never needed the server: the call is still on.
            QCOMPARE(anna().calls->status(), CallManagerStatus::Active);
            QCOMPARE(boris().calls->status(), CallManagerStatus::Active);
            anna().http.release(false);
            boris().http.release(false);
            hangUp(anna());
            target = 8000; // short poll deadlines: the stall hides the end for seconds, not a minute
            break;
        }
        case Fault::AnswerReplyLost: {
            QVERIFY(ring(anna(), boris()));
            boris().http.loseReplyTo(QStringLiteral("\"action\":\"answer\""));
            QVERIFY(answer(boris())); // after the post deadline, from the server's view of the call
            QVERIFY(m_scene->talking(anna(), boris()));
            hangUp(boris());
            break;
        }
        case Fault::SecondCallWhileRinging:
        case Fault::SecondCallWhileActive: {
            QVERIFY(ring(anna(), boris()));
            QVERIFY(anna().outgoing()->title().endsWith(QStringLiteral("boris Tester")));
            QCOMPARE(CallWindows::displayName({{"username", "john"}}), QStringLiteral("john"));
            // Another report of the same call opens no second window and does not restart the ring;
            // calling the same friend again only brings the window forward.
            QQuickWindow *ringing = boris().incoming();
            const int sounds = boris().windows->soundsPlayed();
            emit boris().calls->incomingCallReceived();
            QCOMPARE(boris().incoming(), ringing);
            QCOMPARE(boris().windows->soundsPlayed(), sounds);
            QQuickWindow *outgoing = anna().outgoing();
            const auto firstCall = anna().calls->currentCallId();
            anna().windows->startCall(m_scene->friendMap(boris()));
            QCOMPARE(anna().outgoing(), outgoing);
            QCOMPARE(anna().calls->currentCallId(), firstCall);
            if (fault == Fault::SecondCallWhileActive) {
                QVERIFY(answer(boris()));
                QVERIFY(m_scene->talking(anna(), boris()));
            }
            QVERIFY(ring(anna(), maria()));
            QTRY_VERIFY_WITH_TIMEOUT(settled(boris()), Wait);
            QVERIFY(answer(maria()));
            QVERIFY(m_scene->talking(anna(), maria()));
            hangUp(maria());
            break;
        }
        case Fault::TitleBarCloseRinging: {
            // The caller gives up: the call ends, and the callee's window stops ringing by itself.
            QVERIFY(ring(anna(), boris()));
            anna().outgoing()->close();
            QVERIFY(!anna().windows->isRingbackPlaying());
            QTRY_VERIFY_WITH_TIMEOUT(!boris().incoming(), Wait);
            QVERIFY(!boris().windows->isRingtonePlaying());
            verifySettled(Wait);
            // The callee closes the ringing window: declined.
            QVERIFY(ring(anna(), boris()));
            boris().incoming()->close();
            QVERIFY(!boris().windows->isRingtonePlaying());
            QTRY_COMPARE_WITH_TIMEOUT(anna().calls->status(), CallManagerStatus::Declined, Wait);
            QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::Declined);
            QTRY_VERIFY_WITH_TIMEOUT(!anna().outgoing(), Wait); // closes by itself
            break;
        }
        case Fault::TitleBarCloseAnswering: {
            QVERIFY(ring(anna(), boris()));
            boris().http.hold(QStringLiteral("\"action\":\"answer\""));
            QVERIFY(click(boris().incoming(), "answerButton"));
            QTRY_COMPARE_WITH_TIMEOUT(boris().http.heldCount(), 1, Wait);
            QVERIFY(boris().media->hasPeerConnection());
            boris().incoming()->close();
            // The microphone closes with the window, before the server even hears of it.
            QVERIFY(!boris().media->hasPeerConnection());
            QCOMPARE(WebRTCManager::alivePipelineCount(), 1); // Anna's
            boris().http.release();
            break;
        }
        case Fault::MuteThenNextCall: {
            QVERIFY(call(anna(), boris()));
            QVERIFY(click(anna().outgoing(), "muteButton"));
            QVERIFY(click(boris().incoming(), "muteButton"));
            QVERIFY(silent(m_scene->ear(boris())));
            QVERIFY(silent(m_scene->ear(anna())));
            QVERIFY(click(anna().outgoing(), "speakerButton"));
            QVERIFY(click(boris().incoming(), "speakerButton"));
            hangUp(anna());
            verifySettled(Wait);
            // The next call starts with the speakers on and each microphone as its window shows it:
            // Anna now keeps hers off at the start of calls.
            AudioSettingsManager::shared()->setMicEnabledByDefault(false);
            auto restore = qScopeGuard([] { AudioSettingsManager::shared()->setMicEnabledByDefault(true); });
            QVERIFY(ring(anna(), boris()));
            QVERIFY(answer(boris()));
            QVERIFY(anna().outgoing()->property("isMuted").toBool());
            QVERIFY(!boris().incoming()->property("isMuted").toBool());
            for (QQuickWindow *window : {anna().outgoing(), boris().incoming()})
                QVERIFY(window->property("isSpeakerOn").toBool());
            QVERIFY(m_scene->talking(anna(), boris(), true));
            QVERIFY(click(anna().outgoing(), "muteButton"));
            QVERIFY(m_scene->talking(anna(), boris()));
            hangUp(boris());
            break;
        }
        case Fault::CalleeBusyThenNoAnswer: {
            // The window says why in its status line, offers only Close, and closes by itself.
            auto status = [&] {
                QObject *line = find(anna().outgoing(), "statusLine");
                return line ? line->property("text").toString() : QString();
            };
            QVERIFY(QCoro::waitFor(boris().calls->initiateCall(maria().id)));
            anna().windows->startCall(m_scene->friendMap(boris()));
            QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Занят"), Wait);
            QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::Busy);
            QVERIFY(shown(anna().outgoing(), "closeButton") && !shown(anna().outgoing(), "endButton"));
            QVERIFY(!anna().windows->isRingbackPlaying());
            QVERIFY(!anna().media->hasPeerConnection());
            QCOMPARE(boris().calls->status(), CallManagerStatus::Ringing); // his own call is untouched
            QTRY_VERIFY_WITH_TIMEOUT(!anna().outgoing(), Wait);
            QCoro::waitFor(boris().calls->endCall());

            anna().windows->startCall(m_scene->friendMap(boris()));
            anna().outgoing()->setProperty("noAnswerTimeoutMs", 300);
            QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Не отвечает"), Wait);
            QVERIFY(shown(anna().outgoing(), "closeButton") && !anna().windows->isRingbackPlaying());
            QTRY_VERIFY_WITH_TIMEOUT(!anna().outgoing(), Wait);
            QVERIFY(!CallStateManager::shared()->isCallingFriend(boris().id));
            break;
        }
        }
        verifySettled(target);
    }

    // The call manager's own rules, below the windows.
    // A reset returns to idle 2 s later, unless a call was started in between.
    void idleReturnSparesANewCall()
    {
        CallManager &calls = *anna().calls;
        QCoro::waitFor(calls.endCall());
        QCOMPARE(calls.status(), CallManagerStatus::Ended);
        QVERIFY(calls.isIdleReturnPending());
        QVERIFY(QCoro::waitFor(calls.initiateCall(boris().id)));
        QVERIFY(!calls.isIdleReturnPending());
        QCOMPARE(calls.status(), CallManagerStatus::Ringing);
        // Past the moment the old return to idle was due: the call still rings.
        QTest::qWait(CallManager::idleReturnMs + 500);
        QCOMPARE(calls.status(), CallManagerStatus::Ringing);
        QCoro::waitFor(calls.endCall());
        QTRY_COMPARE_WITH_TIMEOUT(calls.status(), CallManagerStatus::Idle, Wait);
        verifySettled(Wait);
    }

    // Without a token nothing is sent and nothing but a reset happens.
    void signedOutDoesNothing()
    {
        Member nobody(m_api.get(), toneConfig(440), QStringLiteral("x"), QString());
        nobody.signedOut = true;
        QSignalSpy statuses(nobody.calls.get(), &CallManager::callStatusChanged);
        QVERIFY(!QCoro::waitFor(nobody.calls->initiateCall(boris().id)));
        QVERIFY(!QCoro::waitFor(nobody.calls->answerCall(QStringLiteral("x"))));
        QCoro::waitFor(nobody.calls->declineCall(QStringLiteral("x")));
        QCOMPARE(statuses.size(), 0);
        QVERIFY(!nobody.media->hasPeerConnection());
        nobody.calls->startPolling();
        QVERIFY(nobody.calls->isPolling());
        QCoro::waitFor(nobody.calls->checkIncomingCalls());
        QVERIFY(!nobody.calls->isPolling()); // the poll stops itself without a token
        QCOMPARE(nobody.calls->incomingPollRequestCount(), 0);
        QCoro::waitFor(nobody.calls->endCall());
        QCOMPARE(nobody.calls->status(), CallManagerStatus::Ended);
    }

    // Last: its server takes over the environment's server address.
    void unansweredCallBecomesNoAnswer()
    {
        ReferenceServer quick;
        QVERIFY2(quick.start({QStringLiteral("--ring-timeout"), QStringLiteral("2")}), qPrintable(quick.error()));
        CallAPIClient api(quick.serverUrl());
        const auto a = signIn(quick.serverUrl(), QStringLiteral("anna"));
        const auto b = signIn(quick.serverUrl(), QStringLiteral("boris"));
        QVERIFY(a && b);
        DiagnosticLines log;
        Member caller(&api, toneConfig(440), a->first, a->second);
        QVERIFY(QCoro::waitFor(caller.calls->initiateCall(b->first)));
        QTRY_COMPARE_WITH_TIMEOUT(caller.calls->status(), CallManagerStatus::NoAnswer, Wait);
        QVERIFY(!caller.calls->currentCallId());
        QVERIFY(!caller.media->hasPeerConnection());
        QVERIFY(!caller.calls->isStatusPollRunning());
        QCOMPARE(log.count(QStringLiteral("[CallManager] Call was missed")), 1);
        // It stays until the next operation.
        QVERIFY(!caller.calls->isIdleReturnPending());
    }
};

QTEST_MAIN(TestCallFaults)
#include "tst_callfaults.moc"
