#pragma once

#include <QDBusAbstractAdaptor>
#include <QObject>
#include <QVariantMap>

// One client per member and desktop: the first process owns a name on the session bus and answers
// org.freedesktop.Application.Activate there; a later launch asks it to come forward and leaves.
// Each development profile (THEORVANE_PROFILE) has a name of its own, so two demo members still run
// side by side.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { First, Forwarded, NoBus };

    explicit SingleInstance(QObject *parent = nullptr);

    // "com.theorvane.Teams", with the profile appended as a further element.
    static QString busName();
    static QString objectPath();

    // Safe to run on any thread (the object stays where it was made, and Activate arrives there).
    // First: this process now owns the name; Forwarded: the owner was asked to come forward.
    Outcome claim();

signals:
    // Another launch asked for the window; startupId is its activation token, if any.
    void activated(const QString &startupId);
};

class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    explicit ApplicationAdaptor(SingleInstance *instance);

public slots:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(const QString &name, const QVariantList &parameter, const QVariantMap &platformData);

private:
    SingleInstance *m_instance;
};
