#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// Opens a download card's address with the desktop's default handler. With THEORVANE_NO_EXTERNAL_OPEN set
// (tests) nothing is started and the address is only recorded in lastOpenedUrl.
class LinkOpener : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QUrl lastOpenedUrl READ lastOpenedUrl NOTIFY lastOpenedUrlChanged)

public:
    static LinkOpener &shared();
    static LinkOpener *create(QQmlEngine *, QJSEngine *);

    QUrl lastOpenedUrl() const { return m_lastOpened; }
    // False (and nothing opened) for an address that does not parse or has no scheme.
    Q_INVOKABLE bool open(const QString &address);

signals:
    void lastOpenedUrlChanged();

private:
    explicit LinkOpener(QObject *parent = nullptr);
    QUrl m_lastOpened;
};
