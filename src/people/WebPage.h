#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// A member's page on the web site: the site's base address, "/" and the user name.
// QML (singleton WebPage in Orvane.People): lastOpenedUrl, open(username).
class WebPage : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QUrl lastOpenedUrl READ lastOpenedUrl NOTIFY lastOpenedUrlChanged)

public:
    static WebPage &shared();
    static WebPage *create(QQmlEngine *, QJSEngine *);

    // The user name is one path segment: it is percent-encoded, so "../x", "a?b" or "a#b" cannot
    // lead anywhere but a member page of the same site. Invalid (empty) when there is no page.
    static QUrl memberPageUrl(const QString &webBaseURL, const QString &username);

    // Opens the page in the desktop's browser; false when there is no valid address.
    // With THEORVANE_NO_EXTERNAL_OPEN set nothing starts, and tests read lastOpenedUrl.
    Q_INVOKABLE bool open(const QString &username);

    QUrl lastOpenedUrl() const { return m_lastOpened; }

signals:
    void lastOpenedUrlChanged();

private:
    explicit WebPage(QObject *parent = nullptr);
    QUrl m_lastOpened;
};
