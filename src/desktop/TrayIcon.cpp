#include "TrayIcon.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QPainter>
#include <QtEndian>

namespace {

constexpr auto watcherService = "org.kde.StatusNotifierWatcher";
constexpr auto watcherPath = "/StatusNotifierWatcher";
constexpr auto itemPath = "/StatusNotifierItem";
constexpr auto menuPath = "/MenuBar";

QString latin(const char *text)
{
    return QString::fromLatin1(text);
}

} // namespace

TrayIcon::TrayIcon(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_serviceName(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
{
    DBusTypes::registerAll();
    new StatusNotifierItemAdaptor(m_itemObject, this);
    new DBusMenuAdaptor(m_menuObject, this);
}

TrayIcon::~TrayIcon()
{
    if (m_started) {
        m_bus.unregisterObject(latin(itemPath));
        m_bus.unregisterObject(latin(menuPath));
        m_bus.unregisterService(m_serviceName);
    }
}

void TrayIcon::start()
{
    if (m_started || !m_bus.isConnected())
        return;
    m_started = true;
    m_bus.registerObject(latin(itemPath), m_itemObject, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(latin(menuPath), m_menuObject, QDBusConnection::ExportAdaptors);
    m_bus.registerService(m_serviceName);

    m_watcher = new QDBusServiceWatcher(latin(watcherService), m_bus,
                                        QDBusServiceWatcher::WatchForRegistration
                                            | QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &TrayIcon::registerWithWatcher);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setHostAvailable(false); });
    for (const char *name : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(latin(watcherService), latin(watcherPath), latin(watcherService), latin(name), this,
                      SLOT(readHostState()));
    registerWithWatcher();
}

void TrayIcon::registerWithWatcher()
{
    QDBusMessage message = QDBusMessage::createMethodCall(latin(watcherService), latin(watcherPath),
                                                          latin(watcherService),
                                                          latin("RegisterStatusNotifierItem"));
    message << m_serviceName;
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError())
            setHostAvailable(false);
        else
            readHostState();
    });
}

void TrayIcon::readHostState()
{
    QDBusMessage message = QDBusMessage::createMethodCall(latin(watcherService), latin(watcherPath),
                                                          latin("org.freedesktop.DBus.Properties"), latin("Get"));
    message << latin(watcherService) << latin("IsStatusNotifierHostRegistered");
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *w;
        setHostAvailable(!reply.isError() && reply.value().variant().toBool());
    });
}

void TrayIcon::setHostAvailable(bool available)
{
    if (m_hostAvailable == available)
        return;
    m_hostAvailable = available;
    emit hostAvailableChanged();
}

void TrayIcon::setUnreadCount(qint64 count)
{
    count = std::max<qint64>(count, 0);
    if (m_unread == count)
        return;
    m_unread = count;
    emit iconChanged();
}

void TrayIcon::setLanguage(const QString &language)
{
    if (m_language == language)
        return;
    m_language = language;
    ++m_revision;
    emit menuChanged();
    emit iconChanged(); // the tooltip's words
}

QString TrayIcon::localized(const char *ru, const char *en) const
{
    return QString::fromUtf8(m_language == u"en" ? en : ru);
}

QImage TrayIcon::draw(int size, qint64 count)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 256.0;
    // The application icon (theorvane-teams.svg): a "T" on a yellow rounded square.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xFC, 0xD3, 0x4D));
    p.drawRoundedRect(QRectF(8 * s, 8 * s, 240 * s, 240 * s), 56 * s, 56 * s);
    p.setBrush(QColor(0x17, 0x17, 0x17));
    p.drawRoundedRect(QRectF(64 * s, 64 * s, 128 * s, 32 * s), 6 * s, 6 * s);
    p.drawRoundedRect(QRectF(112 * s, 64 * s, 32 * s, 132 * s), 6 * s, 6 * s);
    if (count > 0) {
        const QString text = count > 99 ? QStringLiteral("99+") : QString::number(count);
        const QRectF badge(size * 0.4, size * 0.4, size * 0.6, size * 0.6);
        p.setBrush(QColor(0xEF, 0x44, 0x44));
        p.drawEllipse(badge);
        QFont font;
        font.setBold(true);
        font.setPixelSize(int(badge.height() * (text.size() > 2 ? 0.38 : text.size() > 1 ? 0.5 : 0.62)));
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(badge, Qt::AlignCenter, text);
    }
    return image;
}

SniIconList TrayIcon::iconPixmap() const
{
    SniIconList icons;
    for (int size : {22, 32, 64}) {
        const QImage image = draw(size, m_unread).convertToFormat(QImage::Format_ARGB32);
        QByteArray data(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
        // The protocol wants each pixel as ARGB in network byte order.
        auto *pixels = reinterpret_cast<quint32 *>(data.data());
        for (qsizetype i = 0; i < data.size() / 4; ++i)
            pixels[i] = qToBigEndian(pixels[i]);
        icons.append({size, size, data});
    }
    return icons;
}

SniToolTip TrayIcon::toolTip() const
{
    const QString text = m_unread > 0
        ? localized("Непрочитанных сообщений: %1", "Unread messages: %1").arg(m_unread)
        : localized("Нет непрочитанных сообщений", "No unread messages");
    return {QStringLiteral("theorvane-teams"), {}, QStringLiteral("TheOrvane Teams"), text};
}

QVariantMap TrayIcon::menuProperties(int id) const
{
    switch (id) {
    case Root:
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    case Open:
        return {{QStringLiteral("label"), localized("Открыть", "Open")}, {QStringLiteral("enabled"), true},
                {QStringLiteral("visible"), true}};
    case Quit:
        return {{QStringLiteral("label"), localized("Выйти", "Quit")}, {QStringLiteral("enabled"), true},
                {QStringLiteral("visible"), true}, {QStringLiteral("icon-name"), QStringLiteral("application-exit")}};
    default:
        return {};
    }
}

DBusMenuLayout TrayIcon::menuLayout() const
{
    DBusMenuLayout root{Root, menuProperties(Root), {}};
    for (int id : {Open, Quit})
        root.children.push_back({id, menuProperties(id), {}});
    return root;
}

void TrayIcon::menuEvent(int id, const QString &eventId)
{
    if (eventId != u"clicked")
        return;
    if (id == Open)
        emit activated();
    else if (id == Quit)
        emit quitRequested();
}

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(QObject *object, TrayIcon *tray)
    : QDBusAbstractAdaptor(object)
    , m_tray(tray)
{
    setAutoRelaySignals(false);
    connect(tray, &TrayIcon::iconChanged, this, [this] {
        emit NewIcon();
        emit NewToolTip();
    });
}

void StatusNotifierItemAdaptor::Activate(int, int)
{
    emit m_tray->activated();
}

void StatusNotifierItemAdaptor::SecondaryActivate(int, int)
{
    emit m_tray->activated();
}

DBusMenuAdaptor::DBusMenuAdaptor(QObject *object, TrayIcon *tray)
    : QDBusAbstractAdaptor(object)
    , m_tray(tray)
{
    connect(tray, &TrayIcon::menuChanged, this, [this] { emit LayoutUpdated(m_tray->menuRevision(), 0); });
}

uint DBusMenuAdaptor::GetLayout(int parentId, int, const QStringList &, DBusMenuLayout &layout)
{
    const DBusMenuLayout root = m_tray->menuLayout();
    layout = root;
    for (const DBusMenuLayout &child : root.children) {
        if (child.id == parentId)
            layout = child;
    }
    return m_tray->menuRevision();
}

DBusMenuItemList DBusMenuAdaptor::GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames)
{
    DBusMenuItemList items;
    for (int id : ids) {
        QVariantMap properties = m_tray->menuProperties(id);
        if (!propertyNames.isEmpty())
            properties.removeIf([&](const auto &it) { return !propertyNames.contains(it.key()); });
        items.append({id, properties});
    }
    return items;
}

QDBusVariant DBusMenuAdaptor::GetProperty(int id, const QString &name)
{
    return QDBusVariant(m_tray->menuProperties(id).value(name));
}

void DBusMenuAdaptor::Event(int id, const QString &eventId, const QDBusVariant &, uint)
{
    m_tray->menuEvent(id, eventId);
}

QList<int> DBusMenuAdaptor::EventGroup(const QList<DBusMenuEvent> &events)
{
    QList<int> errors;
    for (const DBusMenuEvent &event : events) {
        if (m_tray->menuProperties(event.id).isEmpty())
            errors.append(event.id);
        else
            m_tray->menuEvent(event.id, event.eventId);
    }
    return errors;
}
