#pragma once

#include <QObject>

#include <chrono>

// Whether the server answers at all, as the last request found it: one for the whole process, since all
// clients talk to one server. Failures where the server could not be reached (refused, host or network
// unreachable, no answer before the deadline, a gateway saying the service is down) mark it unreachable;
// any other answer marks it reachable again. Lives on the GUI thread.
class ServerReachability : public QObject
{
    Q_OBJECT
public:
    static ServerReachability &shared();

    bool isReachable() const { return m_reachable; }
    void reportAnswer(int httpStatus);
    // `networkError` is a QNetworkReply::NetworkError.
    void reportFailure(int networkError);

    // 502, 503, 504: a gateway answered for a server that did not.
    static bool isUnreachableStatus(int httpStatus);
    static bool isUnreachableError(int networkError);

    // Pauses of polls and of requests waiting for the server grow up to this while it is unreachable.
    static constexpr std::chrono::milliseconds longestPause{30000};

signals:
    void reachableChanged(bool reachable);

private:
    explicit ServerReachability(QObject *parent = nullptr) : QObject(parent) {}
    void set(bool reachable);

    bool m_reachable = true;
};
