#include "DesktopNotifications.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <cstdio>

namespace {

constexpr auto path = "/org/freedesktop/Notifications";

QDBusMessage call(const char *method)
{
    return QDBusMessage::createMethodCall(QString::fromLatin1(DesktopNotifications::serviceName),
                                          QString::fromLatin1(path),
                                          QString::fromLatin1(DesktopNotifications::serviceName),
                                          QString::fromLatin1(method));
}

} // namespace

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
{
    // Naming the service makes QtDBus accept these signals only from the name's owner.
    const QString service = QString::fromLatin1(serviceName);
    m_bus.connect(service, QString::fromLatin1(path), service, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, QString::fromLatin1(path), service, QStringLiteral("NotificationClosed"), this,
                  SLOT(onClosed(uint, uint)));
}

void DesktopNotifications::show(const QString &key, const Notice &notice)
{
    Entry &entry = m_entries[key];
    entry.queued = notice;
    entry.withdrawn = false;
    if (m_service == Service::Ready)
        send(key);
    else
        askCapabilities();
}

void DesktopNotifications::withdraw(const QString &key)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    if (it->inFlight) {
        it->queued.reset();
        it->withdrawn = true;
        return;
    }
    if (it->id != 0) {
        QDBusMessage message = call("CloseNotification");
        message << it->id;
        m_bus.send(message);
    }
    m_entries.erase(it);
}

void DesktopNotifications::askCapabilities()
{
    if (m_service == Service::Asking)
        return;
    m_service = Service::Asking;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call("GetCapabilities")), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            m_service = Service::Missing;
            if (!m_reportedMissing) {
                m_reportedMissing = true;
                std::printf("[Notifications] No notification service on the session bus: %s\n",
                            qPrintable(reply.error().name()));
                std::fflush(stdout);
            }
            // Asked again with the next notice, in case a service starts later.
            m_entries.removeIf([](const auto &it) { return it.value().id == 0 && !it.value().inFlight; });
            return;
        }
        m_service = Service::Ready;
        m_markup = reply.value().contains(QStringLiteral("body-markup"));
        for (const QString &key : m_entries.keys())
            send(key);
    });
}

void DesktopNotifications::send(const QString &key)
{
    Entry &entry = m_entries[key];
    if (entry.inFlight || !entry.queued)
        return;
    const Notice notice = *std::exchange(entry.queued, std::nullopt);
    // The client plays its own sound, or none when the member turned it off.
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("theorvane-teams")},
                      {QStringLiteral("suppress-sound"), true},
                      {QStringLiteral("urgency"), QVariant::fromValue<uchar>(notice.urgent ? 2 : 1)}};
    if (!notice.category.isEmpty())
        hints.insert(QStringLiteral("category"), notice.category);
    QDBusMessage message = call("Notify");
    message << QStringLiteral("TheOrvane Teams") << entry.id << QStringLiteral("theorvane-teams") << notice.summary
            << (m_markup ? notice.body.toHtmlEscaped() : notice.body) << notice.actions << hints
            << (notice.urgent ? 0 : -1);
    entry.inFlight = true;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, key](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        auto it = m_entries.find(key);
        if (it == m_entries.end())
            return;
        it->inFlight = false;
        if (!reply.isError())
            it->id = reply.value();
        if (it->withdrawn)
            withdraw(key);
        else if (it->queued)
            send(key);
        else if (reply.isError())
            m_entries.erase(it);
    });
}

QString DesktopNotifications::keyOf(uint id) const
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->id == id)
            return it.key();
    }
    return {};
}

void DesktopNotifications::onActionInvoked(uint id, const QString &action)
{
    const QString key = keyOf(id);
    if (!key.isEmpty())
        emit actionInvoked(key, action);
}

void DesktopNotifications::onClosed(uint id, uint)
{
    const QString key = keyOf(id);
    if (key.isEmpty())
        return;
    Entry &entry = m_entries[key];
    // A replacement on its way reuses the id the service has just closed.
    if (entry.inFlight || entry.queued)
        entry.id = 0;
    else
        m_entries.remove(key);
}
