#include "MediaConfig.h"

#include <QHostInfo>
#include <QRegularExpression>

MediaConfig MediaConfig::fromEnvironment()
{
    MediaConfig config;
    if (qEnvironmentVariableIsSet("THEORVANE_STUN_SERVERS")) {
        const QString value = qEnvironmentVariable("THEORVANE_STUN_SERVERS");
        config.stunServers = value.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    } else {
        config.stunServers = defaultStunServers();
    }
    config.iceAddress = qEnvironmentVariable("THEORVANE_ICE_ADDRESS").trimmed();
    return config;
}

QStringList MediaConfig::defaultStunServers()
{
    return {
        QStringLiteral("stun.l.google.com:19302"),
        QStringLiteral("stun1.l.google.com:19302"),
        QStringLiteral("stun2.l.google.com:19302"),
        QStringLiteral("stun.stunprotocol.org:3478"),
        QStringLiteral("stun.nextcloud.com:3478"),
    };
}

std::pair<QString, quint16> MediaConfig::parseStunServer(const QString &entry)
{
    QString rest = entry.trimmed();
    if (rest.startsWith(QLatin1String("stun://"), Qt::CaseInsensitive))
        rest = rest.mid(7);
    else if (rest.startsWith(QLatin1String("stun:"), Qt::CaseInsensitive))
        rest = rest.mid(5);
    const int colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return {};
    bool ok = false;
    const uint port = rest.mid(colon + 1).toUInt(&ok);
    QString host = rest.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (!ok || port == 0 || port > 65535 || host.isEmpty() || host.contains(QLatin1Char('/')))
        return {};
    return {host, quint16(port)};
}

QString MediaConfig::resolveStunServer() const
{
    for (const QString &entry : stunServers) {
        const auto [host, port] = parseStunServer(entry);
        if (host.isEmpty())
            continue;
        const QHostInfo info = QHostInfo::fromName(host);
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
            continue;
        // libnice wants an address it can use as is, so hand over the resolved one.
        const QHostAddress address = info.addresses().constFirst();
        const QString text = address.protocol() == QAbstractSocket::IPv6Protocol
            ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
            : address.toString();
        return QStringLiteral("stun://%1:%2").arg(text).arg(port);
    }
    return {};
}

bool MediaConfig::usesTestSource() const
{
    return sourceDescription.trimmed().startsWith(QLatin1String("audiotestsrc"));
}
