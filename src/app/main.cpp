#include "AppInfo.h"
#include "AuthManager.h"
#include "CallWindows.h"
#include "DesktopIntegration.h"
#include "FontSetup.h"
#include "ServerConfig.h"
#include "SingleInstance.h"

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
#include <cstring>
#include <optional>

namespace {

// The login screen's text sizes (LoginView.qml with its logo, switchers and buttons, and the menu
// bar of Main.qml), set up ahead of the screen.
const QList<FontSetup::TextStyle> loginTextStyles = {
    {12}, {12, QFont::Medium}, {13, QFont::Medium}, {14}, {14, QFont::Medium}, {16, QFont::Bold},
    {28, QFont::Bold}, {12, QFont::Normal, true}, {16, QFont::Normal, true}};

// --help and --version answer before any window system is needed.
std::optional<int> answerCommandLine(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("theorvane-teams %s\n", qPrintable(AppInfo::version()));
            return 0;
        }
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("Usage: theorvane-teams [options]\n"
                        "TheOrvane Teams: messages, friends and voice calls of the TheOrvane team service.\n"
                        "A second launch brings the running window forward.\n\n"
                        "Options:\n"
                        "  -h, --help     Show this help and exit.\n"
                        "  -v, --version  Show the version and exit.\n"
                        "Qt's own options (for example -platform) are accepted as well.\n\n"
                        "Environment (development): THEORVANE_SERVER_URL, THEORVANE_CONTENT_URL, THEORVANE_WEB_URL,\n"
                        "THEORVANE_PROFILE (a separate profile and instance).\n");
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char *argv[])
{
    if (const auto status = answerCommandLine(argc, argv))
        return *status;
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

    // One instance per member: the bus name is claimed on a pool thread while the types load, and a
    // later launch hands over to the running one before it shows anything.
    SingleInstance instance;
    std::atomic<int> claimed = -1;
    QThreadPool::globalInstance()->start([&instance, &claimed] {
        claimed = int(instance.claim());
        QMetaObject::invokeMethod(qApp, [] {}, Qt::QueuedConnection);
    });

    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlApplicationEngine engine;
    QObject::connect(&instance, &SingleInstance::activated, &engine, [&engine] {
        std::printf("[App] Window brought forward by a second launch\n");
        std::fflush(stdout);
        if (!engine.rootObjects().isEmpty())
            DesktopIntegration::raise(qobject_cast<QWindow *>(engine.rootObjects().constFirst()));
    });
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

    while (claimed < 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (claimed == int(SingleInstance::Outcome::Forwarded)) {
        QThreadPool::globalInstance()->waitForDone();
        return 0;
    }

    engine.load(mainUrl);
    const int status = app.exec();
    // Fonts may still be registering on the pool (the first start patches them); the font database
    // goes away with the application object.
    QThreadPool::globalInstance()->waitForDone();
    return status;
}
