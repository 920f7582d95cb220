#include "ServerConfig.h"

#include <QFile>
#include <QHostAddress>
#include <QSslConfiguration>
#include <QUrl>

#ifndef THEORVANE_DEFAULT_SERVER_URL
#define THEORVANE_DEFAULT_SERVER_URL "https://teams.theorvane.example"
#endif
#ifndef THEORVANE_DEFAULT_CONTENT_URL
#define THEORVANE_DEFAULT_CONTENT_URL "https://content.theorvane.example/"
#endif
#ifndef THEORVANE_DEFAULT_STUN_SERVERS
#define THEORVANE_DEFAULT_STUN_SERVERS ""
#endif
#ifndef THEORVANE_DEFAULT_WEB_URL
#define THEORVANE_DEFAULT_WEB_URL "https://theorvane.example"
#endif

namespace {
QString setting(const char *variable, const char *fallback)
{
    const QByteArray value = qgetenv(variable);
    return value.isEmpty() ? QString::fromUtf8(fallback) : QString::fromUtf8(value).trimmed();
}

bool isLoopbackHost(const QString &host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}
} // namespace

QString ServerConfig::checkAddress(const QString &variable, const QString &value, QString *error)
{
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http"))) {
        *error = QStringLiteral("%1: \"%2\" is not an http(s) address").arg(variable, value);
        return {};
    }
    if (scheme == QLatin1String("http") && !isLoopbackHost(url.host())) {
        *error = QStringLiteral("%1: \"%2\" uses plain http; only https is allowed except for loopback hosts")
                     .arg(variable, value);
        return {};
    }
    if (url.hasQuery() || url.hasFragment()) {
        *error = QStringLiteral("%1: \"%2\" must not have a query or fragment").arg(variable, value);
        return {};
    }
    QString normalized = url.toString(QUrl::FullyEncoded);
    while (normalized.endsWith(QLatin1Char('/')))
        normalized.chop(1);
    return normalized;
}

QString ServerConfig::trustCertificateAuthorities()
{
    static const QString error = [] {
        const QString path = qEnvironmentVariable("THEORVANE_CA_CERTIFICATES");
        if (path.isEmpty())
            return QString();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("THEORVANE_CA_CERTIFICATES: cannot read \"%1\": %2").arg(path, file.errorString());
        const QList<QSslCertificate> authorities = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
        if (authorities.isEmpty())
            return QStringLiteral("THEORVANE_CA_CERTIFICATES: \"%1\" holds no PEM certificate").arg(path);
        // Setting any CA list ends Qt's loading of the system's on demand: name the system's explicitly.
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setCaCertificates(QSslConfiguration::systemCaCertificates() + authorities);
        QSslConfiguration::setDefaultConfiguration(config);
        return QString();
    }();
    return error;
}

ServerConfig ServerConfig::current()
{
    ServerConfig config;
    QString error;
    config.serverURL = checkAddress(QStringLiteral("THEORVANE_SERVER_URL"),
                                    setting("THEORVANE_SERVER_URL", THEORVANE_DEFAULT_SERVER_URL), &error);
    if (config.serverURL.isEmpty())
        config.errors << error;
    const QString content = checkAddress(QStringLiteral("THEORVANE_CONTENT_URL"),
                                         setting("THEORVANE_CONTENT_URL", THEORVANE_DEFAULT_CONTENT_URL), &error);
    if (content.isEmpty())
        config.errors << error;
    else
        config.contentURL = content + QLatin1Char('/'); // avatar paths are appended directly
    config.webURL = checkAddress(QStringLiteral("THEORVANE_WEB_URL"),
                                 setting("THEORVANE_WEB_URL", THEORVANE_DEFAULT_WEB_URL), &error);
    if (config.webURL.isEmpty())
        config.errors << error;

    if (const QString trustError = trustCertificateAuthorities(); !trustError.isEmpty())
        config.errors << trustError;
    return config;
}
