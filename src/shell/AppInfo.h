#pragma once

#include <QObject>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// Product facts the screens show (name, version, web site) and the one way they open web pages.
class AppInfo : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString productName READ productName CONSTANT)
    Q_PROPERTY(QString version READ version CONSTANT)
    Q_PROPERTY(QString buildVersion READ buildVersion CONSTANT)
    Q_PROPERTY(QUrl webUrl READ webUrl CONSTANT)
    Q_PROPERTY(QUrl lastOpenedUrl READ lastOpenedUrl NOTIFY lastOpenedUrlChanged)

public:
    explicit AppInfo(QObject *parent = nullptr);

    static QString productName() { return QStringLiteral("TheOrvane Команды"); }
    static QString version() { return QStringLiteral("1.0.0-alpha-11"); }
    static QString buildVersion() { return QStringLiteral("11"); }
    QUrl webUrl() const { return m_webUrl; }
    QUrl lastOpenedUrl() const { return m_lastOpened; }

    // Opens the web site's page at `path` ("/register", "/forgot-password", "/<username>")
    // in the default browser.
    Q_INVOKABLE void openWebPage(const QString &path);
    Q_INVOKABLE static QString windowTitle(const QString &language);

signals:
    void lastOpenedUrlChanged();

private:
    QUrl m_webUrl;
    QUrl m_lastOpened;
};
