#include "WebPage.h"

#include "ServerConfig.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QJSEngine>

WebPage::WebPage(QObject *parent)
    : QObject(parent)
{
}

WebPage &WebPage::shared()
{
    static WebPage *instance = new WebPage(QCoreApplication::instance());
    return *instance;
}

WebPage *WebPage::create(QQmlEngine *, QJSEngine *)
{
    WebPage *instance = &shared();
    QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
    return instance;
}

QUrl WebPage::memberPageUrl(const QString &webBaseURL, const QString &username)
{
    if (username.isEmpty())
        return {};
    QString base = webBaseURL;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl baseUrl(base, QUrl::StrictMode);
    if (base.isEmpty() || !baseUrl.isValid() || baseUrl.host().isEmpty())
        return {};
    const QUrl url(base + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(username)),
                   QUrl::StrictMode);
    if (!url.isValid() || url.host() != baseUrl.host() || url.scheme() != baseUrl.scheme())
        return {};
    return url;
}

bool WebPage::open(const QString &username)
{
    const QUrl url = memberPageUrl(ServerConfig::current().webURL, username);
    if (!url.isValid())
        return false;
    m_lastOpened = url;
    emit lastOpenedUrlChanged();
    if (qEnvironmentVariableIsEmpty("THEORVANE_NO_EXTERNAL_OPEN"))
        QDesktopServices::openUrl(url);
    return true;
}
