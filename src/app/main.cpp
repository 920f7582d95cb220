#include "CallWindows.h"
#include "FontSetup.h"
#include "ServerConfig.h"
#include "WebRTCManager.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>
#include "QmlModules.h"

#include <cstdio>


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
    FontSetup::apply();

    // The first call's DTLS certificate and GStreamer's start cost up to a second: pay it in the
    // background once the window is up, not at start-up and not when a member presses Call.
    QTimer::singleShot(1500, &app, [] { WebRTCManager::shared()->warmUp(); });

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    // Incoming calls open their own windows; the call manager comes to life at the first sign-in.
    CallWindows::install(&engine);
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);

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

    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/Main.qml")));
    return app.exec();
}
