// The yardstick for start-up: the smallest Qt Quick window, with the same style and engine set-up
// as the client, that prints "first_frame" once its first frame is on screen.
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>
#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlApplicationEngine engine;
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreated, &app, [](QObject *obj) {
        auto *window = qobject_cast<QQuickWindow *>(obj);
        if (!window)
            return;
        QObject::connect(window, &QQuickWindow::frameSwapped, window, [] {
            std::printf("first_frame\n");
            std::fflush(stdout);
            if (qEnvironmentVariableIsSet("THEORVANE_EXIT_AFTER_FIRST_FRAME"))
                QCoreApplication::exit(0);
        }, Qt::SingleShotConnection);
    });
    engine.loadData("import QtQuick\nimport QtQuick.Controls.Basic\n"
                    "ApplicationWindow { width: 1200; height: 800; visible: true; title: \"bare\"\n"
                    "  Label { anchors.centerIn: parent; text: \"bare\" } }");
    return app.exec();
}
