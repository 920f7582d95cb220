#include "ConnectionStatus.h"

#include "ServerReachability.h"

#include <QQmlEngine>

ConnectionStatus::ConnectionStatus(QObject *parent)
    : QObject(parent)
{
    connect(&ServerReachability::shared(), &ServerReachability::reachableChanged, this,
            &ConnectionStatus::offlineChanged);
}

ConnectionStatus *ConnectionStatus::create(QQmlEngine *, QJSEngine *)
{
    static ConnectionStatus *instance = new ConnectionStatus;
    QQmlEngine::setObjectOwnership(instance, QQmlEngine::CppOwnership);
    return instance;
}

bool ConnectionStatus::isOffline() const
{
    return !ServerReachability::shared().isReachable();
}
