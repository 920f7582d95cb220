#include "SingleInstance.h"

#include "Preferences.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdio>

SingleInstance::SingleInstance(QObject *parent)
    : QObject(parent)
{
    new ApplicationAdaptor(this);
}

QString SingleInstance::busName()
{
    QString name = QStringLiteral("com.theorvane.Teams");
    QString profile = Preferences::profile();
    // A bus name element holds only [A-Za-z0-9_] and never starts with a digit.
    profile.replace(QLatin1Char('-'), QLatin1Char('_'));
    if (!profile.isEmpty())
        name += QStringLiteral(".p") + profile;
    return name;
}

QString SingleInstance::objectPath()
{
    return QLatin1Char('/') + QString(busName()).replace(QLatin1Char('.'), QLatin1Char('/'));
}

SingleInstance::Outcome SingleInstance::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return Outcome::NoBus;
    // Exported before the name is taken, so a launch that finds the name also finds the object.
    bus.registerObject(objectPath(), this, QDBusConnection::ExportAdaptors);
    const auto reply = bus.interface()->registerService(busName(), QDBusConnectionInterface::DontQueueService,
                                                       QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return Outcome::First;
    bus.unregisterObject(objectPath());
    if (!reply.isValid())
        return Outcome::NoBus;

    QVariantMap platformData;
    for (const char *variable : {"XDG_ACTIVATION_TOKEN", "DESKTOP_STARTUP_ID"}) {
        const QString token = qEnvironmentVariable(variable);
        if (!token.isEmpty()) {
            platformData.insert(QStringLiteral("activation-token"), token);
            platformData.insert(QStringLiteral("desktop-startup-id"), token);
        }
    }
    QDBusMessage message = QDBusMessage::createMethodCall(busName(), objectPath(),
                                                          QStringLiteral("org.freedesktop.Application"),
                                                          QStringLiteral("Activate"));
    message << platformData;
    // A running instance that does not answer within a second is stuck; this launch still leaves.
    const QDBusMessage answer = bus.call(message, QDBus::Block, 1000);
    if (answer.type() == QDBusMessage::ErrorMessage)
        std::printf("[App] The running instance did not answer: %s\n", qPrintable(answer.errorMessage()));
    return Outcome::Forwarded;
}

ApplicationAdaptor::ApplicationAdaptor(SingleInstance *instance)
    : QDBusAbstractAdaptor(instance)
    , m_instance(instance)
{
}

void ApplicationAdaptor::Activate(const QVariantMap &platformData)
{
    emit m_instance->activated(platformData.value(QStringLiteral("activation-token")).toString());
}

void ApplicationAdaptor::Open(const QStringList &, const QVariantMap &platformData)
{
    Activate(platformData);
}

void ApplicationAdaptor::ActivateAction(const QString &, const QVariantList &, const QVariantMap &platformData)
{
    Activate(platformData);
}
