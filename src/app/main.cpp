#include "AuthManager.h"
#include "CallWindows.h"
#include "FontSetup.h"
#include "ServerConfig.h"

#include <QFont>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickStyle>
#include <QQuickItem>
#include <QQuickWindow>
#include <QThreadPool>
#include "QmlModules.h"

#include <atomic>
#include <cstdio>
#include <optional>

namespace {

// The login screen's text sizes (LoginView.qml with its logo, switchers and buttons, and the menu
// bar of Main.qml), set up ahead of the screen.
const QList<FontSetup::TextStyle> loginTextStyles = {
    {12}, {12, QFont::Medium}, {13, QFont::Medium}, {14}, {14, QFont::Medium}, {16, QFont::Bold},
    {28, QFont::Bold}, {12, QFont::Normal, true}, {16, QFont::Normal, true}};

} // namespace

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

    // The engine resolves imports and types on its own thread, which makes it the longest part of
    // the start: begin that for the first screen before anything else, so that it overlaps with
    // the fonts; load() then finds the types ready.
    QQmlComponent preloadMain(&engine, mainUrl, QQmlComponent::Asynchronous);

    // Known to be signed out: the login screen comes first, and it shows no emoji, so the emoji
    // font can wait until that screen is drawn. Otherwise every font is ready before any screen.
    const bool loginFirst = !AuthManager::shared().isCheckingToken();
    std::optional<QQmlComponent> preloadLogin;
    if (loginFirst)
        preloadLogin.emplace(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/LoginView.qml")),
                             QQmlComponent::Asynchronous);

    // Registering the fonts starts with reading the whole font configuration (about ten
    // milliseconds), so it runs on a thread of its own while the engine loads the types.
    std::atomic_bool fontsLoaded = false;
    QThreadPool::globalInstance()->start([loginFirst, &fontsLoaded] {
        FontSetup::loadForFirstScreen();
        if (!loginFirst)
            FontSetup::loadRest();
        fontsLoaded = true;
        QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection); // wakes the wait below
    });

    // Incoming calls open their own windows; the call manager comes to life at the first sign-in.
    CallWindows::install(&engine);
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);

    // The type loader calls into this thread while it imports modules and stalls until it gets an
    // answer, so the waits here keep handling events.
    while (!fontsLoaded)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    FontSetup::use();
    if (loginFirst) {
        // Each size costs about half a millisecond of font matching and shaping set-up, which
        // otherwise falls into the creation of the screen, after the types are loaded.
        for (const FontSetup::TextStyle &style : loginTextStyles) {
            FontSetup::prepare({style});
            QCoreApplication::sendPostedEvents();
        }
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, [](QObject *obj) {
            if (auto *window = qobject_cast<QQuickWindow *>(obj)) {
                QObject::connect(window, &QQuickWindow::frameSwapped, window, [] {
                    QThreadPool::globalInstance()->start([] {
                        FontSetup::loadRest();
                        QMetaObject::invokeMethod(qApp, [] { FontSetup::use(); }, Qt::QueuedConnection);
                    });
                }, Qt::SingleShotConnection);
            }
        });
    }

    // With a stored token the signed-in window most likely follows the loading screen: its types load
    // while the token is being checked.
    if (!loginFirst) {
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &engine, [&engine](QObject *obj) {
            if (obj)
                new QQmlComponent(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/AuthenticatedView.qml")),
                                  QQmlComponent::Asynchronous, &engine);
        }, Qt::SingleShotConnection);
    }

    // Start-up measurement: print once the login screen (or, with the value "signed-in", the signed-in
    // window) is drawn for the first time, then leave.
    if (qEnvironmentVariableIsSet("THEORVANE_EXIT_AFTER_FIRST_FRAME")) {
        const QString screen = qgetenv("THEORVANE_EXIT_AFTER_FIRST_FRAME") == "signed-in"
            ? QStringLiteral("authenticatedView") : QStringLiteral("loginView");
        QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, [screen](QObject *obj) {
            auto *window = qobject_cast<QQuickWindow *>(obj);
            if (!window)
                return;
            QObject::connect(window, &QQuickWindow::frameSwapped, window, [window, screen] {
                if (!window->findChild<QQuickItem *>(screen))
                    return;
                std::printf("first_frame\n");
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        });
    }

    engine.load(mainUrl);
    const int status = app.exec();
    // Fonts may still be registering on the pool (the first start patches them); the font database
    // goes away with the application object.
    QThreadPool::globalInstance()->waitForDone();
    return status;
}
