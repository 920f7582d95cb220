#include "CallShots.h"

#include "APIClient.h"
#include "CallAPIClient.h"
#include "CallManager.h"
#include "CallWindows.h"
#include "ServerConfig.h"
#include "WebRTCManager.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QQuickWindow>
#include <QThread>

#include <QCoro/QCoroTask>

#include <cstdio>
#include <memory>

namespace {

bool waitUntil(const std::function<bool()> &done, int ms = 20000)
{
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

// One signed-in member with a call stack of its own.
struct Side
{
    QString id;
    QString token;
    std::unique_ptr<WebRTCManager> media;
    std::unique_ptr<CallManager> calls;
    std::unique_ptr<CallWindows> windows;

    ~Side()
    {
        windows.reset();
        if (calls && calls->currentCallId())
            QCoro::waitFor(calls->endCall());
        calls.reset();
        if (media)
            media->close();
    }

    QQuickWindow *outgoing() const { return qobject_cast<QQuickWindow *>(windows->outgoingWindow()); }
    QQuickWindow *incoming() const { return qobject_cast<QQuickWindow *>(windows->incomingWindow()); }
};

std::unique_ptr<Side> signIn(const CallShotMember &member, CallAPIClient *api, QQmlEngine &engine, int tone)
{
    APIClient client(ServerConfig::current().serverURL);
    const auto login = QCoro::waitFor(client.login(member.email, member.password));
    if (!login || !login.value().token || !login.value().user) {
        std::printf("FAILED: %s did not sign in\n", qPrintable(member.email));
        return nullptr;
    }
    auto side = std::make_unique<Side>();
    side->id = login.value().user->id;
    side->token = *login.value().token;
    MediaConfig config;
    config.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1 volume=0.2").arg(tone);
    config.sinkDescription = QStringLiteral("fakesink sync=true");
    config.iceAddress = QStringLiteral("127.0.0.1");
    side->media = std::make_unique<WebRTCManager>(config);
    const QString token = side->token;
    auto provider = [token]() -> std::optional<QString> { return token; };
    side->calls = std::make_unique<CallManager>(api, side->media.get(), provider, nullptr);
    side->windows = std::make_unique<CallWindows>(side->calls.get(), api, provider, &engine, nullptr);
    return side;
}

// The callee as the caller's friends list knows them.
QVariantMap friendOf(const Side &caller, const QString &friendId)
{
    APIClient client(ServerConfig::current().serverURL);
    const auto list = QCoro::waitFor(client.getConversations(caller.token));
    if (list && list.value().conversations) {
        for (const Conversation &c : *list.value().conversations) {
            if (c.participant.id != friendId)
                continue;
            return {{"id", c.participant.id}, {"name", c.participant.name.value_or(QString())},
                    {"lastName", c.participant.lastName.value_or(QString())},
                    {"username", c.participant.username.value_or(QString())},
                    {"avatar", c.participant.avatar.value_or(QString())}};
        }
    }
    return {{"id", friendId}};
}

bool grab(QQuickWindow *window, const QString &file)
{
    const QImage image = window ? window->grabWindow() : QImage();
    const bool ok = !image.isNull() && image.save(file);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(file));
    return ok;
}

} // namespace

int shootCallWindows(QQmlEngine &engine, const QString &dir, const QString &suffix, const CallShotMember &caller,
                     const CallShotMember &callee, const CallShotMember &third)
{
    CallAPIClient api(ServerConfig::current().serverURL);
    auto a = signIn(caller, &api, engine, 440);
    auto b = signIn(callee, &api, engine, 880);
    auto c = signIn(third, &api, engine, 660);
    if (!a || !b || !c)
        return 1;
    auto file = [&](const char *look) { return QStringLiteral("%1/call-%2-%3.png").arg(dir, QLatin1String(look), suffix); };
    bool ok = true;

    a->windows->startCall(friendOf(*a, b->id));
    ok &= waitUntil([&] { return a->calls->status() == CallManagerStatus::Ringing; });
    settle(900);
    ok &= grab(a->outgoing(), file("outgoing"));
    a->outgoing()->setProperty("showSettings", true);
    settle(600);
    ok &= grab(a->outgoing(), file("settings"));
    a->outgoing()->setProperty("showSettings", false);

    QCoro::waitFor(b->calls->checkIncomingCalls());
    ok &= waitUntil([&] { return b->incoming() != nullptr; });
    settle(900);
    ok &= grab(b->incoming(), file("incoming"));

    b->windows->answerIncoming();
    ok &= waitUntil([&] { return a->calls->status() == CallManagerStatus::Active && a->calls->callDuration() >= 3; });
    settle(300);
    ok &= grab(a->outgoing(), file("active"));
    ok &= grab(b->incoming(), file("answered"));

    // Someone else calls the caller, who is on the phone.
    c->windows->startCall(friendOf(*c, a->id));
    ok &= waitUntil([&] { return c->outgoing() && c->calls->status() == CallManagerStatus::Busy; });
    settle(300);
    ok &= grab(c->outgoing(), file("busy"));

    QMetaObject::invokeMethod(a->outgoing(), "endCall");
    ok &= waitUntil([&] { return b->incoming() && b->incoming()->property("callEnded").toBool(); });
    settle(200);
    ok &= grab(b->incoming(), file("ended"));
    return ok ? 0 : 1;
}
