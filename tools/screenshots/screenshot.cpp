// Renders the client's main window into a PNG, for looking at the screens in both themes and both
// languages. Under Xvfb with QT_QPA_PLATFORM=xcb the picture is what a person would see.
//
//   orvane_screenshot --out FILE [--theme light|dark] [--lang ru|en] [--email E --password P]
//                     [--section messages|friends|settings|profile] [--width W --height H]
//                     [--chat ROW] [--compose TEXT] [--spell] [--attach FILE] [--emoji CATEGORY]
//   orvane_screenshot --calls DIR [--theme ...] [--lang ...] --email E --password P
//                     --callee-email E --callee-password P --third-email E --third-password P
//
// --chat opens the conversation in that row of the list; --compose types into the composer, --spell runs the
// spelling check on it, --attach picks a file, --emoji opens the emoji picker on a category (e.g. flags).
//
// --calls places a call from the first member to the callee and saves the call windows into DIR (see
// CallShots.h); the third member's call finds the caller busy.
//
// With an e-mail and password it signs in first (against THEORVANE_SERVER_URL) and shows the signed-in
// window. Preferences are written before the managers start, as a member's stored choice would be.
#include "AuthManager.h"
#include "CallShots.h"
#include "FontSetup.h"
#include "ChatController.h"
#include "ConversationListModel.h"
#include "MainNavigation.h"
#include "SpellingCorrector.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSettings>
#include <QTimer>
#include "QmlModules.h"

#include <cstdio>


namespace {

void grabAfter(QQuickWindow *window, int delayMs, const QString &out)
{
    QTimer::singleShot(delayMs, window, [window, out] {
        const QImage image = window->grabWindow();
        const bool ok = !image.isNull() && image.save(out);
        std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(out));
        QCoreApplication::exit(ok ? 0 : 1);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("TheOrvane"));
    QGuiApplication::setApplicationName(QStringLiteral("Teams"));

    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("PNG file"), QStringLiteral("file"));
    const QCommandLineOption theme(QStringLiteral("theme"), QStringLiteral("light or dark"), QStringLiteral("mode"), QStringLiteral("light"));
    const QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("ru or en"), QStringLiteral("lang"), QStringLiteral("ru"));
    const QCommandLineOption email(QStringLiteral("email"), QStringLiteral("sign in as"), QStringLiteral("email"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("password"), QStringLiteral("password"));
    const QCommandLineOption section(QStringLiteral("section"), QStringLiteral("section to show"), QStringLiteral("name"), QStringLiteral("messages"));
    const QCommandLineOption width(QStringLiteral("width"), QStringLiteral("window width"), QStringLiteral("px"), QStringLiteral("1200"));
    const QCommandLineOption height(QStringLiteral("height"), QStringLiteral("window height"), QStringLiteral("px"), QStringLiteral("800"));
    const QCommandLineOption chat(QStringLiteral("chat"), QStringLiteral("conversation row to open"), QStringLiteral("row"));
    const QCommandLineOption compose(QStringLiteral("compose"), QStringLiteral("text for the composer"), QStringLiteral("text"));
    const QCommandLineOption spell(QStringLiteral("spell"), QStringLiteral("run the spelling check"));
    const QCommandLineOption attach(QStringLiteral("attach"), QStringLiteral("file to attach"), QStringLiteral("file"));
    const QCommandLineOption emoji(QStringLiteral("emoji"), QStringLiteral("open the emoji picker on a category"), QStringLiteral("key"));
    const QCommandLineOption calls(QStringLiteral("calls"), QStringLiteral("folder for the call windows"), QStringLiteral("dir"));
    const QCommandLineOption calleeEmail(QStringLiteral("callee-email"), QStringLiteral("member called"), QStringLiteral("email"));
    const QCommandLineOption calleePassword(QStringLiteral("callee-password"), QStringLiteral("password"), QStringLiteral("password"));
    const QCommandLineOption thirdEmail(QStringLiteral("third-email"), QStringLiteral("member who finds the caller busy"), QStringLiteral("email"));
    const QCommandLineOption thirdPassword(QStringLiteral("third-password"), QStringLiteral("password"), QStringLiteral("password"));
    parser.addOptions({out, theme, lang, email, password, section, width, height, chat, compose, spell, attach, emoji,
                       calls, calleeEmail, calleePassword, thirdEmail, thirdPassword});
    parser.process(app);
    if (!parser.isSet(out) && !parser.isSet(calls))
        parser.showHelp(2);

    {
        QSettings settings;
        settings.setValue(QStringLiteral("themeMode"), parser.value(theme));
        settings.setValue(QStringLiteral("appLanguage"), parser.value(lang));
    }
    qputenv("THEORVANE_NO_EXTERNAL_OPEN", "1");

    QQuickStyle::setStyle(QStringLiteral("Basic"));
    FontSetup::apply();

    if (parser.isSet(calls)) {
        QQmlEngine engine;
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        return shootCallWindows(engine, parser.value(calls), parser.value(theme) + QLatin1Char('-') + parser.value(lang),
                                {parser.value(email), parser.value(password)},
                                {parser.value(calleeEmail), parser.value(calleePassword)},
                                {parser.value(thirdEmail), parser.value(thirdPassword)});
    }

    AuthManager &auth = AuthManager::shared();
    auth.logout(); // start from the login screen whatever the keyring holds

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    engine.load(QUrl(QStringLiteral("qrc:/qt/qml/Orvane/Shell/Main.qml")));
    auto *window = engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return 1;
    window->resize(parser.value(width).toInt(), parser.value(height).toInt());

    const QString file = parser.value(out);
    if (!parser.isSet(email)) {
        grabAfter(window, 1500, file);
        return app.exec();
    }

    QObject::connect(&auth, &AuthManager::isAuthenticatedChanged, window, [&] {
        if (!auth.isAuthenticated())
            return;
        // The sidebar buttons are named after their section's number.
        const QStringList sections{QStringLiteral("messages"), QStringLiteral("friends"), QStringLiteral("settings"), QStringLiteral("profile")};
        const int index = sections.indexOf(parser.value(section));
        QTimer::singleShot(300, window, [window, index] {
            if (auto *nav = window->findChild<MainNavigation *>())
                nav->selectSection(MainNavigation::MainMenuItem(qMax(0, index)));
        });
        if (parser.isSet(chat)) {
            // Open the conversation once the list has loaded, then stage the composer.
            QTimer::singleShot(1200, window, [&, window] {
                auto *list = window->findChild<ConversationListModel *>();
                auto *nav = window->findChild<MainNavigation *>();
                if (list && nav)
                    nav->selectConversation(list->conversationAt(parser.value(chat).toInt()));
            });
            QTimer::singleShot(2200, window, [&, window] {
                auto *controller = window->findChild<ChatController *>();
                if (!controller)
                    return;
                if (parser.isSet(compose))
                    controller->setNewMessage(parser.value(compose));
                if (parser.isSet(attach))
                    controller->fileSelected(QUrl::fromLocalFile(parser.value(attach)));
                if (parser.isSet(spell)) {
                    if (auto *speller = window->findChild<SpellingCorrector *>())
                        QTimer::singleShot(100, speller, [speller] { speller->check(); });
                }
                if (parser.isSet(emoji)) {
                    if (auto *button = window->findChild<QObject *>(QStringLiteral("emojiButton"))) {
                        QObject *picker = button->parent();
                        picker->setProperty("selectedCategory", parser.value(emoji));
                        picker->setProperty("showPicker", true);
                    }
                }
            });
        }
        grabAfter(window, parser.isSet(chat) ? 4000 : 2500, file);
    });
    auth.login(parser.value(email), parser.value(password));
    QTimer::singleShot(20000, &app, [] {
        std::printf("FAILED: not signed in\n");
        QCoreApplication::exit(1);
    });
    return app.exec();
}
