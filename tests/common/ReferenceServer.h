#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The reference server as a child process on 127.0.0.1 with a fresh data folder, for the client's
// end-to-end tests. It points THEORVANE_SERVER_URL and THEORVANE_CONTENT_URL at itself while it runs.
class ReferenceServer
{
public:
    struct SignIn {
        QString email;
        QString password;
        QString name;
    };

    ReferenceServer() = default;
    ~ReferenceServer();
    ReferenceServer(const ReferenceServer &) = delete;
    ReferenceServer &operator=(const ReferenceServer &) = delete;

    // Starts with --demo and any extra arguments; false (and error()) when it does not come up.
    // Starting again after stop() reuses the data folder.
    bool start(const QStringList &extraArguments = {});
    void stop();
    // Stops it with SIGTERM; the exit code, and in printed what it wrote after start-up.
    int stop(QByteArray *printed);

    // Without --demo the data folder starts empty, for runCommand() to fill before start().
    void setDemo(bool demo) { m_demo = demo; }
    // Runs the server binary once on the data folder (e.g. --add-member ...): its exit code.
    int runCommand(const QStringList &arguments) const;

    QString serverUrl() const { return m_serverUrl; }
    int port() const;
    QByteArray startupOutput() const { return m_startup; }
    QString contentUrl() const { return m_contentUrl; }
    QList<SignIn> demoSignIns() const { return m_signIns; }
    QString error() const { return m_error; }
    QString dataFolder() const { return m_data.path(); }

private:
    QTemporaryDir m_data;
    QProcess m_process;
    QString m_serverUrl;
    QString m_contentUrl;
    QList<SignIn> m_signIns;
    QString m_error;
    QByteArray m_startup;
    bool m_demo = true;
};
