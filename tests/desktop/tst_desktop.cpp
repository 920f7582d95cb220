// Notifications, tray and close-to-tray against real peers: dunst on the test bus (under an Xvfb
// this test starts), a StatusNotifierWatcher on a connection of its own, the reference server.
#include "APIClient.h"
#include "AuthManager.h"
#include "CallAPIClient.h"
#include "CallTest.h"
#include "CallWindows.h"
#include "DesktopIntegration.h"
#include "NotificationPreferences.h"
#include "ReferenceServer.h"
#include "TrayIcon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QWindow>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

#include <QCoro/QCoroTask>

#include <gst/gst.h>

Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

// The host's side of the tray protocol: it records who registered and says a host is there.
class Watcher : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
public:
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }
    QString item, owner;
public slots:
    void RegisterStatusNotifierItem(const QString &service)
    {
        item = service;
        owner = message().service();
    }
    void RegisterStatusNotifierHost(const QString &) {}
};

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_xvfb, m_dunst;
    ReferenceServer m_server;
    QDBusConnection m_hostBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("host"));
    Watcher m_watcher;
    QWindow m_window;
    QString m_borisId, m_borisToken, m_annaId;

    static QByteArray dunstctl(const QStringList &arguments)
    {
        QProcess p;
        p.start(QStringLiteral("dunstctl"), arguments);
        p.waitForFinished(5000);
        return p.readAllStandardOutput().trimmed();
    }
    static int displayed() { return dunstctl({"count", "displayed"}).toInt(); }
    // Closes what is shown; the newest notification that history then holds: summary and body.
    static std::pair<QString, QString> closeAndReadNewest()
    {
        dunstctl({"close-all"});
        const QJsonArray entries = QJsonDocument::fromJson(dunstctl({"history"}))["data"][0].toArray();
        QJsonValue newest;
        for (const QJsonValue &entry : entries)
            if (entry["id"]["data"].toInt() > newest["id"]["data"].toInt())
                newest = entry;
        return {newest["summary"]["data"].toString(), newest["body"]["data"].toString()};
    }
    void send(const QString &text)
    {
        APIClient api(m_server.serverUrl());
        QVERIFY(QCoro::waitFor(api.sendMessage(m_borisToken, m_annaId, text, std::nullopt, std::nullopt)));
    }
    // Asked from the host's connection without blocking: the item answers on this same thread.
    QDBusMessage callItem(const QDBusMessage &message)
    {
        QDBusPendingCall call = m_hostBus.asyncCall(message);
        QTest::qWaitFor([&] { return call.isFinished(); });
        return call.reply();
    }
    QVariant trayProperty(const char *name)
    {
        QDBusMessage get = QDBusMessage::createMethodCall(m_watcher.owner, "/StatusNotifierItem",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << "org.kde.StatusNotifierItem" << name;
        return callItem(get).arguments().value(0).value<QDBusVariant>().variant();
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_dir.path().toUtf8());
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", "127.0.0.1");
        gst_init(nullptr, nullptr);
        const QString display = QStringLiteral(":%1").arg(200 + QCoreApplication::applicationPid() % 500);
        m_xvfb.start(QStringLiteral("Xvfb"), {display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
        QVERIFY(m_xvfb.waitForStarted());
        QFile rc(m_dir.filePath("dunstrc"));
        QVERIFY(rc.open(QIODevice::WriteOnly));
        // Calls answer from dunstctl's "action", as a click on the Answer button would.
        rc.write("[global]\ntimeout = 0\n[call]\ncategory = call.incoming\naction_name = answer\n");
        rc.close();
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display);
        m_dunst.setProcessEnvironment(env);
        QTest::qWait(300); // Xvfb opens its socket
        m_dunst.start(QStringLiteral("dunst"), {"-config", rc.fileName()});
        QVERIFY(m_dunst.waitForStarted());
        QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered("org.freedesktop.Notifications"));

        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        const auto boris = CallTest::signIn(m_server.serverUrl(), "boris");
        QVERIFY(boris);
        std::tie(m_borisId, m_borisToken) = *boris;
        QVERIFY(m_hostBus.registerObject("/StatusNotifierWatcher", &m_watcher, QDBusConnection::ExportAllContents));
        QVERIFY(m_hostBus.registerService("org.kde.StatusNotifierWatcher"));

        auto &auth = AuthManager::shared();
        auth.setUnreadIntervalForTesting(std::chrono::milliseconds(200));
        QVERIFY(QCoro::waitFor(auth.loginAsync("anna@demo.theorvane.example", "demo1234")));
        m_annaId = auth.currentUser()->id;
        DesktopIntegration::shared().start(&m_window);
        QTRY_VERIFY(DesktopIntegration::shared().trayAvailable());
    }

    void cleanupTestCase()
    {
        AuthManager::shared().logout();
        for (QProcess *p : {&m_dunst, &m_xvfb}) {
            p->terminate();
            p->waitForFinished(3000);
        }
    }

    void messageNotification_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("showText");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("body"); // "" when no notification may appear
        // Shown as typed: dunst reads markup, so the text goes escaped and makes no link.
        QTest::newRow("markup stays text") << true << true << "<b>x</b> & <a href=\"http://e.example\">y</a>"
                                           << "&lt;b&gt;x&lt;/b&gt; &amp; &lt;a href=&quot;http://e.example&quot;&gt;y&lt;/a&gt;";
        QTest::newRow("text hidden") << true << false << "секрет" << "Новое сообщение";
        QTest::newRow("notifications off") << false << true << "тихо" << "";
    }

    void messageNotification()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, showText);
        QFETCH(QString, text);
        QFETCH(QString, body);
        NotificationPreferences::shared().setEnabled(enabled);
        NotificationPreferences::shared().setShowMessageText(showText);
        send(text);
        if (body.isEmpty()) {
            QSignalSpy steps(&AuthManager::shared(), &AuthManager::unreadStepFinished);
            QTRY_VERIFY(steps.size() >= 3);
            QCOMPARE(displayed(), 0);
            return;
        }
        QTRY_COMPARE(displayed(), 1);
        QCOMPARE(closeAndReadNewest(), std::make_pair(QStringLiteral("Борис Иванов"), body));
    }

    // Clicking the notification opens that chat in the raised window and withdraws the notification;
    // closing the window while a tray is there only hides it.
    void clickOpensChat()
    {
        NotificationPreferences::shared().setEnabled(true);
        m_window.show();
        QVERIFY(DesktopIntegration::shared().hideToTray());
        QVERIFY(!m_window.isVisible());
        QSignalSpy opened(&DesktopIntegration::shared(), &DesktopIntegration::openChatRequested);
        send("Открой меня");
        QTRY_COMPARE(displayed(), 1);
        dunstctl({"action", "0"});
        QTRY_COMPARE(opened.size(), 1);
        QCOMPARE(opened[0][0].toMap()["participant"].toMap()["id"].toString(), m_borisId);
        QVERIFY(m_window.isVisible());
        QTRY_COMPARE(displayed(), 0);
    }

    // The tray shows the server's unread count and its menu opens the window.
    void trayFollowsServer()
    {
        QCOMPARE(m_watcher.item, DesktopIntegration::shared().tray()->serviceName());
        send("ещё одно");
        APIClient api(m_server.serverUrl());
        const auto token = AuthManager::shared().getToken();
        const qint64 count = QCoro::waitFor(api.getUnreadCount(*token)).value();
        QTRY_VERIFY(qdbus_cast<SniToolTip>(trayProperty("ToolTip")).text.endsWith(QString::number(count)));
        QCOMPARE(trayProperty("IconName").toString(), QString()); // the badged pixmap instead

        QDBusMessage layout = QDBusMessage::createMethodCall(m_watcher.owner, "/MenuBar", "com.canonical.dbusmenu", "GetLayout");
        layout << 0 << -1 << QStringList();
        const auto menu = qdbus_cast<DBusMenuLayout>(callItem(layout).arguments().value(1));
        QStringList labels;
        for (const DBusMenuLayout &item : menu.children)
            labels << item.properties["label"].toString();
        QCOMPARE(labels, QStringList({"Открыть", "Выйти"}));

        m_window.hide();
        QDBusMessage click = QDBusMessage::createMethodCall(m_watcher.owner, "/MenuBar", "com.canonical.dbusmenu", "Event");
        click << int(TrayIcon::Open) << "clicked" << QVariant::fromValue(QDBusVariant(QString())) << 0u;
        QCOMPARE(callItem(click).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(m_window.isVisible());
        dunstctl({"close-all"});
    }

    // The call notification's Answer does what the incoming window's button does: the call connects.
    void incomingCallAnswered()
    {
        using namespace CallTest;
        CallAPIClient api(m_server.serverUrl());
        const auto anna = signIn(m_server.serverUrl(), "anna");
        Member callee(&api, toneConfig(440), anna->first, anna->second, 440);
        Member caller(&api, toneConfig(880), m_borisId, m_borisToken, 880);
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        CallWindows windows(callee.calls.get(), &api, [&] { return callee.currentToken(); }, &engine, nullptr);
        DesktopIntegration::shared().setCallWindows(&windows);
        QVERIFY(QCoro::waitFor(caller.calls->initiateCall(callee.id)));
        dunstctl({"close-all"});
        QCoro::waitFor(callee.calls->checkIncomingCalls());
        QTRY_COMPARE(displayed(), 1);
        dunstctl({"action", "0"});
        QTRY_COMPARE_WITH_TIMEOUT(callee.calls->status(), CallManagerStatus::Active, Wait);
        QTRY_COMPARE(displayed(), 0);
        QCoro::waitFor(caller.calls->endCall());
        DesktopIntegration::shared().setCallWindows(nullptr);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
