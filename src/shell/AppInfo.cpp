#include "AppInfo.h"

#include "ServerConfig.h"

#include <QDesktopServices>

AppInfo::AppInfo(QObject *parent)
    : QObject(parent)
    , m_webUrl(ServerConfig::current().webURL)
{
}

void AppInfo::openWebPage(const QString &path)
{
    QString base = m_webUrl.toString();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base + path);
    if (!url.isValid())
        return;
    m_lastOpened = url;
    emit lastOpenedUrlChanged();
    // Tests must not start a browser; they read lastOpenedUrl instead.
    if (qEnvironmentVariableIsEmpty("THEORVANE_NO_EXTERNAL_OPEN"))
        QDesktopServices::openUrl(url);
}

QString AppInfo::windowTitle(const QString &language)
{
    return language == QLatin1String("en") ? QStringLiteral("TheOrvane Teams") : productName();
}
