// Polls a chat of 10,000 messages: an unchanged answer, then answers with one new message at the end.
// Each poll is timed on the main thread from the response body to the updated model (decode, the
// per-message log lines, the update by id and the ListView's reaction to it). Delegates are counted in
// a real ListView of MessageBubbles showing the end of the chat, as the chat view does.
//   QT_QPA_PLATFORM=offscreen bench_chat [rounds]      (default 30)
#include "ChatController.h"
#include "Diagnostics.h"
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

#include <algorithm>
#include <cstdio>
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
    QGuiApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    setDiagnosticsSink([](const QString &) {});

    ChatController chat;
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
        std::fprintf(stderr, "component status %d: %s\n", int(component.status()), qPrintable(component.errorString()));
        return 1;
    }
    auto *list = window->property("list").value<QQuickItem *>();
    list->setProperty("model", QVariant::fromValue(chat.messages()));

    const QByteArray first = body(10000);
    {
        const auto decoded = MessagesResponse::decode(first);
        chat.applyLoaded(decoded.value());
    }
    QMetaObject::invokeMethod(list, "positionViewAtEnd");
    QCoreApplication::processEvents();
    const int createdAtStart = counter.created;

    std::vector<double> unchanged, decodeOnly;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        const auto decoded = MessagesResponse::decode(first);
        decodeOnly.push_back(double(t.nsecsElapsed()) / 1e6);
        chat.applyLoaded(decoded.value());
        unchanged.push_back(double(t.nsecsElapsed()) / 1e6);
        QCoreApplication::processEvents();
    }
    const int createdAfterUnchanged = counter.created;

    // The update by id alone, without decoding and log lines.
    std::vector<double> modelOnly;
    {
        const QList<Message> same = *MessagesResponse::decode(first).value().messages;
        for (int r = 0; r < rounds; ++r) {
            QElapsedTimer t;
            t.start();
            chat.messages()->setMessages(same);
            modelOnly.push_back(double(t.nsecsElapsed()) / 1e6);
        }
    }

    std::vector<QByteArray> growing;
    for (int r = 1; r <= rounds; ++r)
        growing.push_back(body(10000 + r));
    std::vector<double> oneNew;
    for (const QByteArray &b : growing) {
        QElapsedTimer t;
        t.start();
        const auto decoded = MessagesResponse::decode(b);
        chat.applyLoaded(decoded.value());
        oneNew.push_back(double(t.nsecsElapsed()) / 1e6);
        QMetaObject::invokeMethod(list, "positionViewAtEnd");
        QCoreApplication::processEvents();
    }

    std::printf("messages=%d rounds=%d body_bytes=%lld\n", chat.messages()->count(), rounds,
                static_cast<long long>(first.size()));
    std::printf("decode_ms=%.2f\n", median(decodeOnly));
    std::printf("model_update_unchanged_ms=%.2f\n", median(modelOnly));
    std::printf("poll_unchanged_ms=%.2f\n", median(unchanged));
    std::printf("poll_one_new_ms=%.2f\n", median(oneNew));
    std::printf("delegates_at_start=%d\n", createdAtStart);
    std::printf("delegates_created_by_unchanged_polls=%d\n", createdAfterUnchanged - createdAtStart);
    std::printf("delegates_created_for_new_messages=%d\n", counter.created - createdAfterUnchanged);
    std::printf("delegates_recreated=%d\n", counter.recreated);
    delete window;
    return 0;
}

#include "bench_chat.moc"
