// Polls a chat of 10,000 messages through the chat's own load, against an HTTP server on 127.0.0.1 that
// runs on a thread of its own: an unchanged answer, then answers with one new message at the end.
//
// poll_*_ms is what a poll costs the GUI thread: that thread's CPU time from the request to the updated
// model, with everything that runs on it meanwhile (the network reply, the comparison with the previous
// body, the per-message log lines written to a file, the update by id and the ListView's handling of the
// model's signals; a new row's delegate is made at the next frame, outside). Decoding a new body runs on
// a worker; decode_ms says what it would cost the GUI thread. The wall time of a poll, network and worker
// included, is printed for reference. Delegates are counted in a real ListView of MessageBubbles showing
// the end of the chat, as the chat view does.
//   QT_QPA_PLATFORM=offscreen bench_chat [rounds]      (default 30)
#include "APIClient.h"
#include "ChatController.h"
#include "MessagingRecords.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QtQml/qqmlextensionplugin.h>

#include <QCoro/QCoroTask>

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(Orvane_MessagingPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)
#ifdef HAVE_ORVANE_COMPOSER
Q_IMPORT_QML_PLUGIN(Orvane_Messaging_ComposerPlugin)
#endif

namespace {

QJsonObject messageJson(int i)
{
    QJsonObject m;
    m.insert("id", QString::number(100000 + i));
    m.insert("content", i % 3 == 0 ? QStringLiteral("Привет! Как дела с отчётом за квартал? Нужно отправить его до пятницы, номер %1").arg(i)
                                    : QStringLiteral("Sure, I'll send the report before Friday. Ticket #%1 is the one.").arg(i));
    m.insert("senderId", i % 2 ? QStringLiteral("user-000001") : QStringLiteral("user-000002"));
    m.insert("createdAt", QStringLiteral("2026-12-06T10:%1:%2.123456Z").arg(i / 60 % 60, 2, 10, QLatin1Char('0')).arg(i % 60, 2, 10, QLatin1Char('0')));
    m.insert("isRead", true);
    m.insert("isMine", i % 2 == 1);
    if (i % 10 == 0) {
        m.insert("attachmentUrl", QStringLiteral("https://content.theorvane.example/files/1733480000-ab12cd-report-%1.pdf").arg(i));
        m.insert("attachmentType", QStringLiteral("application/pdf"));
    }
    return m;
}

QByteArray body(int count)
{
    QJsonArray messages;
    for (int i = 0; i < count; ++i)
        messages.append(messageJson(i));
    QJsonObject o;
    o.insert("success", true);
    o.insert("conversationId", QStringLiteral("conv-1-2"));
    o.insert("hasMore", false);
    o.insert("messages", messages);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// CPU time of the calling thread, system time included.
double threadCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval &t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// Answers every GET of the messages with the current body, from its own thread.
class BodyServer
{
public:
    BodyServer()
    {
        // Every byte of the body crosses the wire, as from a server that does not compress (compressing
        // megabytes per request would measure the server).
        m_server.set_pre_routing_handler([](const httplib::Request &req, httplib::Response &) {
            const_cast<httplib::Request &>(req).headers.erase("Accept-Encoding");
            return httplib::Server::HandlerResponse::Unhandled;
        });
        m_server.Get("/api/mobile/messages", [this](const httplib::Request &, httplib::Response &res) {
            std::lock_guard lock(m_mutex);
            res.set_content(m_body, "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~BodyServer()
    {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }
    void setBody(const QByteArray &body)
    {
        std::lock_guard lock(m_mutex);
        m_body.assign(body.constData(), size_t(body.size()));
    }

private:
    httplib::Server m_server;
    std::mutex m_mutex;
    std::string m_body;
    std::thread m_thread;
    int m_port = 0;
};

QCoro::Task<> nothing()
{
    co_return;
}

} // namespace

class DelegateCounter : public QObject
{
    Q_OBJECT
public:
    int created = 0;
    int recreated = 0;
    QSet<QString> seen;

public slots:
    void delegateCreated(const QString &id)
    {
        ++created;
        if (seen.contains(id))
            ++recreated;
        seen.insert(id);
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The chat's log lines go where they would in use, to a file: here /dev/null. Results keep the real output.
    std::fflush(stdout);
    FILE *out = fdopen(dup(fileno(stdout)), "w");
    if (!out || !std::freopen("/dev/null", "w", stdout))
        return 1;

    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;

    BodyServer server;
    const QByteArray first = body(10000);
    server.setBody(first);
    APIClient api(QStringLiteral("http://127.0.0.1:%1").arg(server.port()));

    ChatController chat;
    chat.setApiForTesting(&api);
    chat.setTokenProviderForTesting([]() -> std::optional<QString> { return QStringLiteral("bench-token"); });
    chat.setUnreadRefreshForTesting([] { return nothing(); });
    chat.setPeer({{"id", "user-000002"}, {"name", "Peer"}});

    DelegateCounter counter;
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine);
    component.setData(R"(
import QtQuick
import Orvane.Messaging
Window {
    width: 600; height: 800; visible: true
    property alias list: list
    ListView {
        id: list
        anchors.fill: parent
        spacing: 8
        delegate: MessageBubble {
            width: ListView.view.width
            Component.onCompleted: counter.delegateCreated(messageId)
        }
    }
}
)", QUrl(QStringLiteral("qrc:/bench/ChatList.qml")));
    engine.rootContext()->setContextProperty(QStringLiteral("counter"), &counter);
    QObject *window = component.isReady() ? component.create() : nullptr;
    if (!window) {
        std::fprintf(out, "component status %d: %s\n", int(component.status()), qPrintable(component.errorString()));
        return 1;
    }
    auto *list = window->property("list").value<QQuickItem *>();
    list->setProperty("model", QVariant::fromValue(chat.messages()));

    QCoro::waitFor(chat.loadMessages(true));
    if (chat.messages()->count() != 10000) {
        std::fprintf(out, "the first load gave %d messages\n", chat.messages()->count());
        return 1;
    }
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    QCoreApplication::processEvents();
    const int createdAtStart = counter.created;

    struct Cost {
        double cpu;
        double wall;
    };
    auto poll = [&chat]() -> Cost {
        QElapsedTimer wall;
        wall.start();
        const double cpu = threadCpuMs();
        QCoro::waitFor(chat.loadMessages(false));
        return {threadCpuMs() - cpu, double(wall.nsecsElapsed()) / 1e6};
    };

    std::vector<double> unchanged, unchangedWall;
    for (int r = 0; r < rounds; ++r) {
        const Cost c = poll();
        unchanged.push_back(c.cpu);
        unchangedWall.push_back(c.wall);
        QCoreApplication::processEvents();
    }
    const int createdAfterUnchanged = counter.created;

    std::vector<double> oneNew, oneNewWall;
    for (int r = 1; r <= rounds; ++r) {
        server.setBody(body(10000 + r));
        const Cost c = poll();
        oneNew.push_back(c.cpu);
        oneNewWall.push_back(c.wall);
        QMetaObject::invokeMethod(list, "positionViewAtEnd");
        QCoreApplication::processEvents();
    }

    // What decoding a new body would cost the GUI thread, were it done there.
    std::vector<double> decode;
    for (int r = 0; r < rounds; ++r) {
        const double cpu = threadCpuMs();
        const auto decoded = MessagesResponse::decode(first);
        decode.push_back(threadCpuMs() - cpu);
        if (!decoded.ok())
            return 1;
    }

    std::fprintf(out, "messages=%d rounds=%d body_bytes=%lld\n", chat.messages()->count(), rounds,
                 static_cast<long long>(first.size()));
    std::fprintf(out, "decode_ms=%.2f\n", median(decode));
    std::fprintf(out, "poll_unchanged_ms=%.2f\n", median(unchanged));
    std::fprintf(out, "poll_one_new_ms=%.2f\n", median(oneNew));
    std::fprintf(out, "poll_unchanged_wall_ms=%.2f\n", median(unchangedWall));
    std::fprintf(out, "poll_one_new_wall_ms=%.2f\n", median(oneNewWall));
    std::fprintf(out, "delegates_at_start=%d\n", createdAtStart);
    std::fprintf(out, "delegates_created_by_unchanged_polls=%d\n", createdAfterUnchanged - createdAtStart);
    std::fprintf(out, "delegates_created_for_new_messages=%d\n", counter.created - createdAfterUnchanged);
    std::fprintf(out, "delegates_recreated=%d\n", counter.recreated);
    std::fclose(out);
    delete window;
    return 0;
}

#include "bench_chat.moc"
