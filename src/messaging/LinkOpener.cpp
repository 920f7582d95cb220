#include "LinkOpener.h"

#include <QDesktopServices>
#include <QQmlEngine>

LinkOpener::LinkOpener(QObject *parent)
    : QObject(parent)
{
}

LinkOpener &LinkOpener::shared()
{
    static LinkOpener *instance = new LinkOpener;
    return *instance;
}

LinkOpener *LinkOpener::create(QQmlEngine *, QJSEngine *)
{
    QQmlEngine::setObjectOwnership(&shared(), QQmlEngine::CppOwnership);
    return &shared();
}

bool LinkOpener::open(const QString &address)
{
    const QUrl url(address, QUrl::StrictMode);
    if (address.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return false;
    m_lastOpened = url;
    emit lastOpenedUrlChanged();
    if (qEnvironmentVariableIsEmpty("THEORVANE_NO_EXTERNAL_OPEN"))
        QDesktopServices::openUrl(url);
    return true;
}
