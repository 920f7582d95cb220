#include "FontSetup.h"
#include "TestHttpServer.h"

#include <QBuffer>
#include <QImage>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QtQml/qqmlextensionplugin.h>
#include <QtQuickTest>

Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

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

    // Pictures for the avatar as imageServer: /avatar.png at once, /slow.png only after release(), else 404.
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        picture.save(&png, "PNG");
        m_images.responder = [image = png.data()](const RecordedRequest &request) {
            CannedResponse r{200, image, "image/png"};
            r.held = request.target == "/slow.png";
            if (request.target != "/avatar.png" && !r.held)
                r = {404, {}, {}};
            return r;
        };
        if (!m_images.listen())
            qFatal("cannot listen on 127.0.0.1");
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("imageServer"), &m_images);
    }

private:
    TestHttpServer m_images;
};

QUICK_TEST_MAIN_WITH_SETUP(ui_qml, Setup)
#include "tst_ui_qml.moc"
