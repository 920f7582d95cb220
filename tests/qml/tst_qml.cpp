// Runs the Qt Quick tests of the screens against the reference server on 127.0.0.1.
#include "ReferenceServer.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include "QmlModules.h"
#include <QtQuickTest>


class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QCoreApplication::setOrganizationName(QStringLiteral("TheOrvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Teams"));
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        qputenv("THEORVANE_NO_EXTERNAL_OPEN", "1");
        m_serverUp = m_server.start();
        if (!m_serverUp)
            qWarning("reference server: %s", qPrintable(m_server.error()));
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        const auto signIns = m_server.demoSignIns();
        QVariantMap server{{"up", m_serverUp}, {"url", m_server.serverUrl()}};
        if (!signIns.isEmpty()) {
            server.insert("email", signIns.first().email);
            server.insert("password", signIns.first().password);
        }
        engine->rootContext()->setContextProperty(QStringLiteral("testServer"), server);
    }

private:
    ReferenceServer m_server;
    bool m_serverUp = false;
};

QUICK_TEST_MAIN_WITH_SETUP(orvane_qml, Setup)

#include "tst_qml.moc"
