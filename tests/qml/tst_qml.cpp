// Runs the Qt Quick tests of the screens against the reference server on 127.0.0.1.
#include "AuthManager.h"
#include "ReferenceServer.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickStyle>
#include "QmlModules.h"
#include <QtQuickTest>

#include <QCoro/QCoroTask>

// The tests' `testServer`: whether it is up, the first demo member's sign-in, and signIn().
class Setup : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool up MEMBER m_serverUp CONSTANT)
    Q_PROPERTY(QString email MEMBER m_email CONSTANT)
    Q_PROPERTY(QString password MEMBER m_password CONSTANT)

public:
    // Signs in as that member unless a session is up; whether one is.
    Q_INVOKABLE bool signIn()
    {
        AuthManager &auth = AuthManager::shared();
        return auth.isAuthenticated() || (m_serverUp && QCoro::waitFor(auth.loginAsync(m_email, m_password)));
    }

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
        if (const auto signIns = m_server.demoSignIns(); !signIns.isEmpty()) {
            m_email = signIns.first().email;
            m_password = signIns.first().password;
        }
    }

    void qmlEngineAvailable(QQmlEngine *engine)
    {
        engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
        engine->rootContext()->setContextProperty(QStringLiteral("testServer"), this);
    }

private:
    ReferenceServer m_server;
    bool m_serverUp = false;
    QString m_email, m_password;
};

QUICK_TEST_MAIN_WITH_SETUP(orvane_qml, Setup)

#include "tst_qml.moc"
