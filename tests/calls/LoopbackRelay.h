#pragma once

// A small loopback relay between two members of a call, for fault tests: the media (UDP) of a
// call on 127.0.0.1 and each member's signalling (HTTP to the reference server) pass through it,
// and it can black-hole the one and hold or lose the other.
#include <QHash>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;
class QUdpSocket;

// Stands in for every media endpoint it has seen in a candidate: a peer sends to the relay's
// socket for the other side, and the relay forwards from its socket for the sender.
class UdpRelay : public QObject
{
    Q_OBJECT
public:
    // Every packet is dropped from then on (a network cut), or passed on again.
    void setBlackHole(bool blackHole) { m_blackHole = blackHole; }
    // The candidate line with its loopback port replaced by the relay's port for it.
    QString rewriteCandidate(const QString &line);

private:
    QUdpSocket *socketFor(quint16 realPort);
    void readFrom(QUdpSocket *socket);

    QHash<quint16, QUdpSocket *> m_byReal;
    QHash<QUdpSocket *, quint16> m_real;
    bool m_blackHole = false;
};

// One member's way to the server. Rewrites the candidates in what comes back so that the media
// goes through `media`.
class HttpRelay : public QObject
{
    Q_OBJECT
public:
    HttpRelay(const QString &serverUrl, UdpRelay *media);
    QString url() const;
    // Requests whose text contains `match` (all when empty: the network stalls) wait for release().
    void hold(const QString &match = {});
    // The held requests go on to the server, or (deliver false: the network black-holed them)
    // are never answered.
    void release(bool deliver = true);
    int heldCount() const { return int(m_held.size()); }
    // The next request containing `match` reaches the server; its reply never comes back.
    void loseReplyTo(const QString &match) { m_lose = match; }

private:
    struct Request
    {
        QPointer<QTcpSocket> socket;
        QByteArray head;
        QByteArray body;
    };
    void readFrom(QTcpSocket *socket);
    void forward(const Request &request);

    QString m_serverUrl;
    UdpRelay *m_media;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<Request> m_held;
    std::optional<QString> m_hold;
    QString m_lose;
    // Last, so they go first: their sockets and replies still find the state above.
    QTcpServer m_listener;
    QNetworkAccessManager m_network;
};
