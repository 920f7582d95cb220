#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

#include <vector>

// The structures of the StatusNotifierItem and com.canonical.dbusmenu protocols, as QtDBus writes them.

// One size of an icon: ARGB32 in network byte order.
struct SniIcon {
    int width = 0;
    int height = 0;
    QByteArray data;
};
using SniIconList = QList<SniIcon>;

struct SniToolTip {
    QString iconName;
    SniIconList icon;
    QString title;
    QString text;
};

// A menu item with its children, each child sent as a variant holding the same structure.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    std::vector<DBusMenuLayout> children;
};

struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

Q_DECLARE_METATYPE(SniIcon)
Q_DECLARE_METATYPE(SniToolTip)
Q_DECLARE_METATYPE(DBusMenuLayout)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument &operator<<(QDBusArgument &a, const SniIcon &v);
const QDBusArgument &operator>>(const QDBusArgument &a, SniIcon &v);
QDBusArgument &operator<<(QDBusArgument &a, const SniToolTip &v);
const QDBusArgument &operator>>(const QDBusArgument &a, SniToolTip &v);
QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuLayout &v);
const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuLayout &v);
QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuItem &v);
const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuItem &v);
QDBusArgument &operator<<(QDBusArgument &a, const DBusMenuEvent &v);
const QDBusArgument &operator>>(const QDBusArgument &a, DBusMenuEvent &v);

namespace DBusTypes {
// Once, before the first object using them is exported.
void registerAll();
} // namespace DBusTypes
