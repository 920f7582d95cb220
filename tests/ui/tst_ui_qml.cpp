#include "FontSetup.h"

#include <httplib.h>

#include <QBuffer>
#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

#include <condition_variable>
#include <mutex>
#include <thread>

Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

// Serves pictures on 127.0.0.1 for the avatar: /avatar.png at once, /slow.png only after release(),
// anything else 404. Handlers run on the server's threads, hence the lock.
class ImageServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString url READ url CONSTANT)

public:
    ImageServer()
    {
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QBuffer buffer(&m_png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");

        m_server.Get("/avatar.png", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(m_png.toStdString(), "image/png");
        });
        m_server.Get("/slow.png", [this](const httplib::Request &, httplib::Response &res) {
            std::unique_lock lock(m_mutex);
            m_released.wait(lock, [this] { return m_open; });
            res.set_content(m_png.toStdString(), "image/png");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
    }
    ~ImageServer() override
    {
        release();
        m_server.stop();
        m_thread.join();
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    Q_INVOKABLE void release()
    {
        { std::lock_guard lock(m_mutex); m_open = true; }
        m_released.notify_all();
    }

private:
    QByteArray m_png;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_open = false;
};

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QSettings settings(QStringLiteral("TheOrvane"), QStringLiteral("Teams"));
        settings.clear();
        settings.sync();
        FontSetup::apply();
    }
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("imageServer"), &m_images);
    }

private:
    ImageServer m_images;
};

QUICK_TEST_MAIN_WITH_SETUP(ui_qml, Setup)
#include "tst_ui_qml.moc"
