// The call windows driven by two call managers signed in to the reference server on 127.0.0.1.
#include "AppPalette.h"
#include "CallAPIClient.h"
#include "CallManager.h"
#include "CallStateManager.h"
#include "CallTest.h"
#include "CallWindows.h"
#include "ReferenceServer.h"
#include "ThemeManager.h"
#include "WebRTCManager.h"

#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

#include <QCoro/QCoroTask>

#include <gst/gst.h>

Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

namespace {

using namespace CallTest;

// A member whose calls are shown in the call windows.
struct WindowMember : Member
{
    WindowMember(CallAPIClient *api, QQmlEngine *engine, QString memberId, QString memberToken, int frequency)
        : Member(api, toneConfig(frequency), std::move(memberId), std::move(memberToken), frequency)
        , windows(std::make_unique<CallWindows>(calls.get(), api, [this] { return currentToken(); }, engine, nullptr))
    {
    }
    ~WindowMember() override { windows.reset(); }

    QQuickWindow *incoming() const { return qobject_cast<QQuickWindow *>(windows->incomingWindow()); }
    QQuickWindow *outgoing() const { return qobject_cast<QQuickWindow *>(windows->outgoingWindow()); }

    std::unique_ptr<CallWindows> windows;
};

} // namespace

class TestCallWindows : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ReferenceServer m_server;
    std::unique_ptr<CallAPIClient> m_api;
    std::unique_ptr<QQmlEngine> m_engine;
    QHash<QString, std::pair<QString, QString>> m_members;

    std::unique_ptr<WindowMember> member(const QString &name, int tone)
    {
        const auto &[id, token] = m_members.value(name);
        return std::make_unique<WindowMember>(m_api.get(), m_engine.get(), id, token, tone);
    }

    QVariantMap friendMap(const QString &name)
    {
        return {{"id", m_members.value(name).first}, {"name", "Boris"}, {"lastName", "Petrov"},
                {"username", name}, {"avatar", ""}};
    }

    // Anna calls Boris from her outgoing window; Boris's poll opens his incoming window.
    bool ring(WindowMember &anna, WindowMember &boris)
    {
        anna.windows->startCall(friendMap(QStringLiteral("boris")));
        if (!anna.outgoing())
            return false;
        if (!QTest::qWaitFor([&] { return anna.calls->status() == CallManagerStatus::Ringing; }, Wait))
            return false;
        QCoro::waitFor(boris.calls->checkIncomingCalls());
        return boris.incoming() != nullptr;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
        gst_init(nullptr, nullptr);
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        m_api = std::make_unique<CallAPIClient>(m_server.serverUrl());
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        for (const QString name : {"anna", "boris", "maria"}) {
            const auto member = signIn(m_server.serverUrl(), name);
            QVERIFY(member);
            m_members.insert(name, *member);
        }
    }

    void cleanup() { QTRY_COMPARE_WITH_TIMEOUT(WebRTCManager::alivePipelineCount(), 0, 5000); }

    void durationText_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0 << "00:00";
        QTest::newRow("under a minute") << 59 << "00:59";
        QTest::newRow("over an hour, minutes not wrapped") << 3725 << "62:05";
        QTest::newRow("three-digit minutes") << 6000 << "100:00";
        QTest::newRow("negative clamps") << -5 << "00:00";
    }

    void durationText()
    {
        QFETCH(int, seconds);
        QTEST(CallStateManager::formatDuration(seconds), "text");
    }

    // A callee who is busy, then one who does not answer: the window says so in its status line,
    // offers only Close, and closes by itself.
    void unreachableCalleeShowsWhyAndCloses()
    {
        auto anna = member(QStringLiteral("anna"), 440);
        auto boris = member(QStringLiteral("boris"), 880);
        auto text = [&](const char *name) {
            QObject *item = anna->outgoing() ? anna->outgoing()->findChild<QObject *>(name) : nullptr;
            return item ? item->property("text").toString() : QString();
        };
        auto shown = [&](const char *name) {
            QObject *item = anna->outgoing() ? anna->outgoing()->findChild<QObject *>(name) : nullptr;
            return item && item->property("visible").toBool();
        };
        QVERIFY(QCoro::waitFor(boris->calls->initiateCall(m_members.value("maria").first)));
        anna->windows->startCall(friendMap(QStringLiteral("boris")));
        QTRY_COMPARE_WITH_TIMEOUT(text("statusLine"), QStringLiteral("Занят"), Wait);
        QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::Busy);
        QVERIFY(shown("closeButton"));
        QVERIFY(!shown("endButton"));
        QVERIFY(!anna->windows->isRingbackPlaying());
        QVERIFY(!anna->media->hasPeerConnection());
        QCOMPARE(boris->calls->status(), CallManagerStatus::Ringing); // his own call is untouched
        QTRY_VERIFY_WITH_TIMEOUT(!anna->outgoing(), Wait);
        QCoro::waitFor(boris->calls->endCall());

        anna->windows->startCall(friendMap(QStringLiteral("boris")));
        QVERIFY(anna->outgoing());
        anna->outgoing()->setProperty("noAnswerTimeoutMs", 300);
        QTRY_COMPARE_WITH_TIMEOUT(text("statusLine"), QStringLiteral("Не отвечает"), Wait);
        QVERIFY(shown("closeButton"));
        QVERIFY(!anna->windows->isRingbackPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(!anna->calls->currentCallId(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!anna->outgoing(), Wait);
        QVERIFY(!CallStateManager::shared()->isCallingFriend(boris->id));
        // Nothing rings for Boris any more.
        QCoro::waitFor(boris->calls->checkIncomingCalls());
        QVERIFY(!boris->incoming());
    }

    // Answered and ended by the caller: the callee's screen shows the end and closes by itself. (The
    // callee ending, and the caller's screen waiting for Close, are rows of tst_callfaults.)
    void answeredCallEndsOnBothScreens()
    {
        auto anna = member(QStringLiteral("anna"), 440);
        auto boris = member(QStringLiteral("boris"), 880);
        QVERIFY(ring(*anna, *boris));
        boris->windows->answerIncoming();
        QTRY_VERIFY_WITH_TIMEOUT(boris->incoming() && boris->incoming()->property("answered").toBool(), Wait);
        QVERIFY(!boris->windows->isRingtonePlaying());
        QTRY_COMPARE_WITH_TIMEOUT(anna->outgoing()->property("callState").toInt(), int(CallStateManager::Active), Wait);
        QCOMPARE(CallStateManager::shared()->callState(), CallStateManager::Active);
        QVERIFY(!anna->windows->isRingbackPlaying());
        QTRY_VERIFY_WITH_TIMEOUT(anna->calls->callDuration() >= 1, Wait);
        QQuickWindow *outgoing = anna->outgoing();
        auto find = [](QQuickWindow *window, const char *name) { return window->findChild<QObject *>(name); };

        // The gear shows the audio settings (the panel itself is checked in tst_callsqml).
        QVERIFY(QMetaObject::invokeMethod(find(outgoing, "settingsButton"), "clicked"));
        QObject *panel = find(outgoing, "settingsPanel");
        QVERIFY(panel->property("visible").toBool());
        QVERIFY(QMetaObject::invokeMethod(panel->findChild<QObject *>(QStringLiteral("panelCloseButton")), "clicked"));
        QVERIFY(!outgoing->property("showSettings").toBool());

        // Both windows follow a theme change at once, frame included.
        for (QQuickWindow *window : {outgoing, boris->incoming()})
            QVERIFY(!window->property("darkAppearance").toBool());
        ThemeManager::shared().setMode(ThemeMode::Dark);
        auto restoreTheme = qScopeGuard([] { ThemeManager::shared().setMode(ThemeMode::Light); });
        for (QQuickWindow *window : {outgoing, boris->incoming()}) {
            QTRY_VERIFY(window->property("darkAppearance").toBool());
            QCOMPARE(window->color(), AppPalette::dark().background);
            QCOMPARE(find(window, "statusLine")->property("color").value<QColor>(), AppPalette::dark().mutedForeground);
        }

        QVERIFY(QMetaObject::invokeMethod(anna->outgoing(), "endCall"));
        QCOMPARE(anna->outgoing()->property("callState").toInt(), int(CallStateManager::Ended));
        QTRY_VERIFY_WITH_TIMEOUT(!anna->outgoing(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(boris->incoming() && boris->incoming()->property("callEnded").toBool(), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(!boris->incoming(), Wait);
        QVERIFY(!boris->calls->currentCallId());
    }
};

QTEST_MAIN(TestCallWindows)
#include "tst_callwindows.moc"
