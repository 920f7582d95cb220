#pragma once

#include "DBusTypes.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>

class QDBusServiceWatcher;

// The application's tray icon over the StatusNotifierItem protocol (KDE, GNOME with the AppIndicator
// extension, most panels), with its menu over com.canonical.dbusmenu: "Open" and "Quit". The icon
// carries the unread count; hostAvailable says whether a tray currently shows it.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    enum MenuItem { Root = 0, Open = 1, Quit = 2 };

    explicit TrayIcon(QDBusConnection bus, QObject *parent = nullptr);
    ~TrayIcon() override;

    // Exports the item and registers it with the watcher (again whenever a watcher appears).
    void start();
    bool hostAvailable() const { return m_hostAvailable; }
    QString serviceName() const { return m_serviceName; }

    void setUnreadCount(qint64 count);
    qint64 unreadCount() const { return m_unread; }
    void setLanguage(const QString &language);

    // What the protocol objects read.
    SniIconList iconPixmap() const;
    SniToolTip toolTip() const;
    DBusMenuLayout menuLayout() const;
    QVariantMap menuProperties(int id) const;
    uint menuRevision() const { return m_revision; }
    void menuEvent(int id, const QString &eventId);

    // The icon drawn at `size` pixels with the count in a badge (none for 0).
    static QImage draw(int size, qint64 count);

signals:
    void activated();
    void quitRequested();
    void hostAvailableChanged();
    // For the protocol objects' signals.
    void iconChanged();
    void menuChanged();

private:
    void registerWithWatcher();
    void readHostState();
    void setHostAvailable(bool available);
    QString localized(const char *ru, const char *en) const;

    QDBusConnection m_bus;
    QString m_serviceName;
    QObject *m_itemObject = new QObject(this); // carries the item's interface
    QObject *m_menuObject = new QObject(this); // carries the menu's
    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_started = false;
    bool m_hostAvailable = false;
    qint64 m_unread = 0;
    QString m_language = QStringLiteral("ru");
    uint m_revision = 1;
};

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ empty)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(SniIconList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(SniIconList OverlayIconPixmap READ none)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(SniIconList AttentionIconPixmap READ none)
    Q_PROPERTY(QString AttentionMovieName READ empty)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    StatusNotifierItemAdaptor(QObject *object, TrayIcon *tray);

    QString category() const { return QStringLiteral("Communications"); }
    QString id() const { return QStringLiteral("theorvane-teams"); }
    QString title() const { return QStringLiteral("TheOrvane Teams"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString empty() const { return {}; }
    SniIconList none() const { return {}; }
    // Installed, the theme's icon; with unread messages (or not installed) the drawn one with its badge.
    QString iconName() const { return m_tray->unreadCount() > 0 ? QString() : QStringLiteral("theorvane-teams"); }
    SniIconList iconPixmap() const { return m_tray->iconPixmap(); }
    SniToolTip toolTip() const { return m_tray->toolTip(); }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/MenuBar")); }

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int, int) {}
    void Scroll(int, const QString &) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString &status);

private:
    TrayIcon *m_tray;
};

class DBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    DBusMenuAdaptor(QObject *object, TrayIcon *tray);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames, DBusMenuLayout &layout);
    DBusMenuItemList GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    QDBusVariant GetProperty(int id, const QString &name);
    void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    QList<int> EventGroup(const QList<DBusMenuEvent> &events);
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int> &, QList<int> &idErrors)
    {
        idErrors.clear();
        return {};
    }

signals:
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    TrayIcon *m_tray;
};
