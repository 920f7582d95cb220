#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The server's reachability for screens: `offline` while requests fail because the server cannot be
// reached. QML: ConnectionStatus.offline.
class ConnectionStatus : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool offline READ isOffline NOTIFY offlineChanged)

public:
    static ConnectionStatus *create(QQmlEngine *, QJSEngine *);
    bool isOffline() const;

signals:
    void offlineChanged();

private:
    explicit ConnectionStatus(QObject *parent = nullptr);
};
