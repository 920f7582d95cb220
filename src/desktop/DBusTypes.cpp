#include "DBusTypes.h"

#include <QDBusMetaType>

QDBusArgument &operator<<(QDBusArgument &a, const SniIcon &v)
{
    a.beginStructure();
    a << v.width << v.height << v.data;
    a.endStructure();
    return a;
}

const QDBusArgument &operator>>(const QDBusArgument &a, SniIcon &v)
{
    a.beginStructure();
    a >> v.width >> v.height >> v.data;
    a.endStructure();
    return a;
}

QDBusArgument &operator<<(QDBusArgument &a, const SniToolTip &v)
{
    a.beginStructure();
    a << v.iconName << v.icon << v.title << v.text;
    a.endStructure();
    return a;
}

const QDBusArgument &operator>>(const QDBusArgument &a, SniToolTip &v)
{
    a.beginStructure();
    a >> v.iconName >> v.icon >> v.title >> v.text;
    a.endStructure();
    return a;
}

QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuLayout &v)
{
    a.beginStructure();
    a << v.id << v.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout &child : v.children)
        a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}

const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuLayout &v)
{
    a.beginStructure();
    a >> v.id >> v.properties;
    a.beginArray();
    v.children.clear();
    while (!a.atEnd()) {
        QDBusVariant child;
        a >> child;
        v.children.push_back(qdbus_cast<DBusMenuLayout>(child.variant()));
    }
    a.endArray();
    a.endStructure();
    return a;
}

QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuItem &v)
{
    a.beginStructure();
    a << v.id << v.properties;
    a.endStructure();
    return a;
}

const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuItem &v)
{
    a.beginStructure();
    a >> v.id >> v.properties;
    a.endStructure();
    return a;
}

QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuEvent &v)
{
    a.beginStructure();
    a << v.id << v.eventId << v.data << v.timestamp;
    a.endStructure();
    return a;
}

const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuEvent &v)
{
    a.beginStructure();
    a >> v.id >> v.eventId >> v.data >> v.timestamp;
    a.endStructure();
    return a;
}

void DBusTypes::registerAll()
{
    static const bool done = [] {
        qDBusRegisterMetaType<SniIcon>();
        qDBusRegisterMetaType<SniIconList>();
        qDBusRegisterMetaType<SniToolTip>();
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItemList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        qDBusRegisterMetaType<QList<int>>();
        return true;
    }();
    Q_UNUSED(done);
}
