// Hostile text from members through the reference server, over the real signed-in window: every item
// that shows it reads it as plain text, nothing named in it is fetched, and no frame stalls on it.
// Also: every Text of the screens' sources states its format, so a new label cannot fall back to AutoText.
#include "APIClient.h"
#include "AuthManager.h"
#include "CallAPIClient.h"
#include "CallWindows.h"
#include "ConversationListModel.h"
#include "MainNavigation.h"
#include "ReferenceServer.h"
#include "TestHttpServer.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include "QmlModules.h"

#include <QCoro/QCoroTask>

#include <ctime>

namespace {
struct Hostile {
    const char *tag;
    QByteArray json; // the message as the JSON string it is posted as
};

// The tracking pixel's host is the recording server; %1 is its address.
const QList<Hostile> hostile = {
    {"markup", R"(<b>жирный</b> <img src=\"%1/track.png\"> <a href=\"%1/a\">ссылка</a> 5 &lt; 6)"},
    {"entities", "&amp; &lt;i&gt;x&lt;/i&gt; &#x202E; &nbsp;"},
    {"bidi controls", "\\u202Eexe.txt\\u202C \\u2066a\\u2067b\\u2068c\\u2069 \\u200F\\u061C"},
    {"zero-width", "a\\u200Bb\\u200Cc\\u200Dd\\uFEFFe\\u2060f"},
    {"combining flood", "a" + QByteArray("\\u0301").repeated(10000)},
    {"64 KiB without spaces", QByteArray(65536, 'x')},
    {"control characters", "a\\u0001b\\u0007c\\u001B[31md\\u007Fe\\u0085f\\tg\\r\\nh"},
    {"NUL", "a\\u0000b"},
    {"unpaired surrogate", "a\\ud800b"},
};
const QString viewerEmail = QStringLiteral("viewer@hostile.example");
const QString password = QStringLiteral("hostile-pw");

QString decoded(const Hostile &h, const QString &tracker)
{
    const QJsonDocument doc = QJsonDocument::fromJson("[\"" + QByteArray(h.json).replace("%1", tracker.toUtf8()) + "\"]");
    return doc.array().at(0).toString();
}

// What the screens show: a flood of combining marks keeps its first thirty.
QString shownAs(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("(\\p{M}{30})\\p{M}+")), QStringLiteral("\\1"));
}

// The GUI thread's own time: frames are compared, not how busy the machine is.
qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void allItems(QQuickItem *item, QList<QQuickItem *> &out)
{
    out << item;
    for (QQuickItem *child : item->childItems())
        allItems(child, out);
}
} // namespace

class HostileContentTest : public QObject
{
    Q_OBJECT
    TestHttpServer m_tracker;
    ReferenceServer m_server;
    QQmlApplicationEngine *m_engine = nullptr;
    QQuickWindow *m_window = nullptr;
    MainNavigation *m_nav = nullptr;
    QTemporaryDir m_dir;
    QString m_viewerId;
    QStringList m_ids, m_names, m_files, m_tokens, m_faulty;
    qint64 m_frameStart = -1, m_worstFrame = 0;

    // Visible items of any window whose text contains s; any of them not plain text, or laying out
    // more than a screen can show, is noted.
    int shown(const QString &s)
    {
        QList<QQuickItem *> items;
        for (QWindow *window : QGuiApplication::topLevelWindows()) {
            if (auto *quick = qobject_cast<QQuickWindow *>(window); quick && quick->isVisible())
                allItems(quick->contentItem(), items);
        }
        int count = 0;
        for (QQuickItem *item : items) {
            const QVariant text = item->property("text"), format = item->property("textFormat");
            if (!format.isValid() || !item->isVisible() || !text.toString().contains(s))
                continue;
            ++count;
            if (format.toInt() != Qt::PlainText || text.toString().size() > 4000)
                m_faulty << QString::fromUtf8(item->metaObject()->className()) + " " + item->objectName();
        }
        return count;
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest)
            m_frameStart = threadCpuNs();
        return false;
    }

    // With the basic render loop a frame runs inside the window's update request.
    void timeFrames(QQuickWindow *window)
    {
        window->installEventFilter(this);
        connect(window, &QQuickWindow::frameSwapped, this, [this] {
            const qint64 ms = m_frameStart < 0 ? 0 : (threadCpuNs() - m_frameStart) / 1000000;
            m_worstFrame = std::max(m_worstFrame, ms);
            m_frameStart = -1;
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tracker.listen());
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
        m_server.setDemo(false);
        const QString markup = decoded(hostile.first(), m_tracker.url());
        QCOMPARE(m_server.runCommand({"--add-member", viewerEmail, password, markup}), 0);
        for (int i = 0; i < hostile.size(); ++i) {
            const QString text = decoded(hostile[i], m_tracker.url());
            const bool argvSafe = !text.contains(QChar(0)) && !hostile[i].json.contains("\\ud800");
            m_names << (argvSafe ? text : QString::fromLatin1(hostile[i].tag));
            const QString email = QStringLiteral("h%1@hostile.example").arg(i);
            QCOMPARE(m_server.runCommand({"--add-member", email, password, "N " + m_names[i]}), 0);
            QCOMPARE(m_server.runCommand({"--befriend", viewerEmail, email}), 0);
        }
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));

        APIClient *api = APIClient::shared();
        QNetworkAccessManager network;
        const auto viewer = QCoro::waitFor(api->login(viewerEmail, password));
        QVERIFY(viewer.ok());
        m_viewerId = viewer.value().user->id;
        for (int i = 0; i < hostile.size(); ++i) {
            const auto member = QCoro::waitFor(api->login(QStringLiteral("h%1@hostile.example").arg(i), password));
            QVERIFY(member.ok());
            m_ids << member.value().user->id;
            m_tokens << *member.value().token;
            // A file under the member's name, then the message: the list shows the message as preview.
            m_files << QString("F" + m_names[i].left(60)).remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f/\\\\]")));
            QFile file(m_dir.filePath(m_files[i]));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
            file.close();
            const auto upload = QCoro::waitFor(api->uploadFile(*member.value().token, file.fileName()));
            QVERIFY(upload.ok() && QCoro::waitFor(api->sendMessage(*member.value().token, m_viewerId, {},
                                                                    upload.value().downloadUrl, {})).ok());
            // Posted as written, so the JSON escapes reach the server unchanged.
            QNetworkRequest request(QUrl(m_server.serverUrl() + "/api/mobile/messages"));
            request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
            request.setRawHeader("Authorization", "Bearer " + member.value().token->toUtf8());
            const QByteArray body = "{\"participantId\":\"" + m_viewerId.toUtf8() + "\",\"content\":\""
                + QByteArray(hostile[i].json).replace("%1", m_tracker.url().toUtf8()) + "\"}";
            std::unique_ptr<QNetworkReply> reply(network.post(request, body));
            QTRY_VERIFY(reply->isFinished());
        }

        QQuickStyle::setStyle(QStringLiteral("Basic"));
        m_engine = new QQmlApplicationEngine(this);
        m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        m_engine->load(QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/Main.qml")));
        m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().value(0));
        QVERIFY(m_window);
        timeFrames(m_window);
        CallWindows::install(m_engine);
        QVERIFY(QCoro::waitFor(AuthManager::shared().loginAsync(viewerEmail, password)));
        QTRY_VERIFY((m_nav = m_window->findChild<MainNavigation *>()));
    }

    void cleanupTestCase()
    {
        qInfo("worst frame with hostile text: %lld ms of the GUI thread's time", m_worstFrame);
        // The call windows go, and what they leave queued runs, while the application is still whole:
        // a queued call that outlives it is destroyed under its event lock, and the device watch it holds
        // then waits for that lock for ever.
        delete m_engine;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::sendPostedEvents();
    }

    void shownAsTyped_data()
    {
        QTest::addColumn<int>("row");
        for (int i = 0; i < hostile.size(); ++i)
            QTest::newRow(hostile[i].tag) << i;
    }
    void shownAsTyped()
    {
        QFETCH(int, row);
        const QString text = shownAs(decoded(hostile[row], m_tracker.url())), name = ("N " + shownAs(m_names[row])).left(500);
        const bool stored = !hostile[row].json.contains("\\ud800"); // the server refuses it
        m_faulty.clear();
        m_nav->selectSection(MainNavigation::Messages);
        auto *list = m_window->findChild<ConversationListModel *>();
        QTRY_VERIFY(list && list->count() == hostile.size());
        QVariantMap member; // the one who is called back below
        for (int i = 0; i < list->count(); ++i) {
            if (list->conversationAt(i).value("participant").toMap().value("id") == m_ids[row]) {
                m_nav->selectConversation(list->conversationAt(i));
                member = list->conversationAt(i).value("participant").toMap();
            }
        }
        // The list's name and preview, the chat's header, bubble and file card.
        QTRY_VERIFY_WITH_TIMEOUT(shown(name) >= 2 && shown(shownAs(m_files[row])) >= 1, 10000);
        if (stored) // preview, bubble (a long one shows its start)
            QTRY_VERIFY_WITH_TIMEOUT(shown(text.left(500)) >= 2 && shown(text.left(4000)) >= 1, 10000);
        m_nav->selectSection(MainNavigation::Friends);
        QTRY_VERIFY_WITH_TIMEOUT(shown(name) >= 1, 10000);
        m_nav->selectSection(MainNavigation::Profile);
        QTRY_VERIFY_WITH_TIMEOUT(shown(decoded(hostile.first(), m_tracker.url())) >= 1, 10000);
        // The member calls: the ringing window names the caller.
        CallWindows *calls = CallWindows::create(m_engine, nullptr);
        const int before = shown(name);
        QVERIFY(QCoro::waitFor(CallAPIClient::shared()->initiateCall(m_tokens[row], m_viewerId, "v=0\r\n")).ok());
        QTRY_VERIFY_WITH_TIMEOUT(calls->incomingWindow(), 10000);
        timeFrames(qobject_cast<QQuickWindow *>(calls->incomingWindow()));
        QTRY_VERIFY_WITH_TIMEOUT(shown(name) > before, 10000);
        calls->declineIncoming();
        // And the member calls them back.
        QTRY_VERIFY(shown(name) == before);
        calls->startCall(member);
        timeFrames(qobject_cast<QQuickWindow *>(calls->outgoingWindow()));
        QTRY_VERIFY_WITH_TIMEOUT(shown(name) > before, 10000);
        calls->endOutgoing();
        QCOMPARE(m_tracker.requests.size(), 0); // nothing named in the text was fetched
        QVERIFY2(m_faulty.isEmpty(), qPrintable(m_faulty.join(", ")));
    }

    void everyTextStatesPlainText()
    {
        static const QRegularExpression opener(QStringLiteral("^[ \\t]*(?:[\\w.]+\\s*:\\s*)?(Text|Label|TextEdit|TextArea)\\s*\\{"),
                                               QRegularExpression::MultilineOption);
        QStringList missing;
        for (QDirIterator it(QStringLiteral(ORVANE_SOURCE_DIR "/src"), {"*.qml"}, QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString qml = QString::fromUtf8(file.readAll());
            for (auto m = opener.globalMatch(qml); m.hasNext();) {
                const auto match = m.next();
                QString ownLines; // the block's own lines, without nested objects
                int depth = 0;
                for (qsizetype i = match.capturedEnd() - 1; i < qml.size() && (i == match.capturedEnd() - 1 || depth > 0); ++i) {
                    depth += qml[i] == '{' ? 1 : qml[i] == '}' ? -1 : 0;
                    if (depth == 1)
                        ownLines += qml[i];
                }
                if (!ownLines.contains(QRegularExpression(QStringLiteral("textFormat:\\s*\\w+\\.PlainText"))))
                    missing << it.fileName() + ":" + QString::number(qml.left(match.capturedStart()).count('\n') + 1);
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable("no plain text: " + missing.join(", ")));
    }
};

QTEST_MAIN(HostileContentTest)
#include "tst_hostile.moc"
