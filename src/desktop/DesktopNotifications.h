#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// A client of the desktop's notification service (org.freedesktop.Notifications on the session bus).
// Notifications are kept under keys of the caller's choosing: showing a key again replaces its
// notification in place, withdrawing it closes it. Every call is asynchronous; without a service on
// the bus nothing is shown and one line says so.
class DesktopNotifications : public QObject
{
    Q_OBJECT
public:
    struct Notice {
        QString summary;
        QString body; // plain text; escaped here when the service reads markup
        QStringList actions; // pairs of action id and label
        bool urgent = false;
        QString category;
    };

    static constexpr auto serviceName = "org.freedesktop.Notifications";

    explicit DesktopNotifications(QDBusConnection bus, QObject *parent = nullptr);

    void show(const QString &key, const Notice &notice);
    void withdraw(const QString &key);
    bool isShown(const QString &key) const { return m_entries.contains(key); }
    QStringList keys() const { return m_entries.keys(); }

signals:
    void actionInvoked(const QString &key, const QString &action);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onClosed(uint id, uint reason);

private:
    struct Entry {
        uint id = 0;
        bool inFlight = false;
        std::optional<Notice> queued; // shown as soon as the service answers
        bool withdrawn = false;       // closed as soon as the service gives the id
    };

    void askCapabilities();
    void send(const QString &key);
    QString keyOf(uint id) const;

    QDBusConnection m_bus;
    QHash<QString, Entry> m_entries;
    enum class Service { Unknown, Asking, Ready, Missing } m_service = Service::Unknown;
    bool m_markup = false;
    bool m_reportedMissing = false;
};
