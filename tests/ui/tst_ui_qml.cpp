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

    // Pictures for the avatar as imageServer: /avatar.png at once, /slow.png only after release(),
    // /colour/RRGGBB.png in that colour, else 404.
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        // Large enough to arrive in many pieces, as real pictures do: the top in the colour, the
        // rest noise that does not compress.
        const auto png = [](const QColor &colour) {
            QImage image(160, 160, QImage::Format_ARGB32);
            image.fill(colour);
            quint32 seed = 1;
            for (int y = 80; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    seed = seed * 1664525u + 1013904223u;
                    image.setPixel(x, y, 0xff000000u | (seed >> 8));
                }
            }
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            return buffer.data();
        };
        m_images.responder = [png](const RecordedRequest &request) {
            const QByteArray &target = request.target;
            if (target.startsWith("/colour/") && target.endsWith(".png"))
                return CannedResponse{200, png(QColor(QLatin1Char('#') + QString::fromLatin1(target.mid(8, 6)))), "image/png"};
            CannedResponse r{200, png(Qt::red), "image/png"};
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
