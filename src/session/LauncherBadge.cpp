#include "LauncherBadge.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QGuiApplication>
#include <QVariantMap>

namespace LauncherBadge {

QString appUri()
{
    QString id = QGuiApplication::desktopFileName();
    if (id.isEmpty())
        id = QStringLiteral("theorvane-teams");
    if (!id.endsWith(u".desktop"))
        id += QStringLiteral(".desktop");
    return QStringLiteral("application://") + id;
}

bool setCount(qint64 count)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(objectPath), QString::fromLatin1(interfaceName),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("count"), QVariant::fromValue<qint64>(count > 0 ? count : 0));
    properties.insert(QStringLiteral("count-visible"), count > 0);
    signal << appUri() << properties;
    return bus.send(signal);
}

} // namespace LauncherBadge
