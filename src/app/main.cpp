#include "AuthManager.h"
#include "CallWindows.h"
#include "FontSetup.h"
#include "ServerConfig.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickStyle>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include "QmlModules.h"

#include <cstdio>
#include <optional>


int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("TheOrvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Teams"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("TheOrvane Команды"));
    QGuiApplication::setApplicationVersion(QStringLiteral("1.0.0-alpha-11"));
    QGuiApplication::setDesktopFileName(QStringLiteral("theorvane-teams"));

    const ServerConfig config = ServerConfig::current();
    if (!config.isValid()) {
        for (const QString &line : config.errors)
            std::fprintf(stderr, "theorvane-teams: %s\n", qPrintable(line));
        return 2;
    }

    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    const QUrl mainUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/Main.qml"));
    const bool loginFirst = !AuthManager::shared().isCheckingToken();

    // The engine resolves imports and types on its own thread. Start that for the first screen now,
    // so that it overlaps with the font set-up below (reading the font configuration alone takes
    // about ten milliseconds); load() then finds the types ready.
    QQmlComponent preloadMain(&engine, mainUrl, QQmlComponent::Asynchronous);
    std::optional<QQmlComponent> preloadLogin;
    if (loginFirst)
        preloadLogin.emplace(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/LoginView.qml")),
                             QQmlComponent::Asynchronous);

    // Known to be signed out: the login screen comes first, and it shows no emoji, so the emoji
    // font can wait until that screen is drawn. Otherwise every font is ready before any screen.
    if (loginFirst)
        FontSetup::applyForFirstScreen();
    else
        FontSetup::apply();

    // Incoming calls open their own windows; the call manager comes to life at the first sign-in.
    CallWindows::install(&engine);
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);

    if (loginFirst) {
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, [](QObject *obj) {
            if (auto *window = qobject_cast<QQuickWindow *>(obj)) {
                QObject::connect(window, &QQuickWindow::frameSwapped, window,
                                 [] { QTimer::singleShot(0, [] { FontSetup::applyRest(); }); },
                                 Qt::SingleShotConnection);
            }
        });
    }

    // Start-up measurement: print once the login screen is drawn for the first time, then leave.
    if (qEnvironmentVariableIsSet("THEORVANE_EXIT_AFTER_FIRST_FRAME")) {
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, [](QObject *obj) {
            auto *window = qobject_cast<QQuickWindow *>(obj);
            if (!window)
                return;
            QObject::connect(window, &QQuickWindow::frameSwapped, window, [window] {
                if (!window->findChild<QQuickItem *>(QStringLiteral("loginView")))
                    return;
                std::printf("first_frame\n");
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        });
    }

    engine.load(mainUrl);
    return app.exec();
}
