#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// A real HTTP/1.1 server on 127.0.0.1, driven by the test's event loop. It records every request
// byte for byte and answers with whatever the test's responder says.
struct RecordedRequest {
    QByteArray method;
    QByteArray target; // as sent on the request line, e.g. /api/mobile/messages?participantId=a%20b
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

struct CannedResponse {
    int status = 200;
    QByteArray body;
    QByteArray contentType = "application/json";
    QList<std::pair<QByteArray, QByteArray>> extraHeaders;
    bool silent = false;  // never answer (the connection stays open)
    bool held = false;    // answered when the test calls release()
};

class TestHttpServer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString url READ url CONSTANT)
    Q_PROPERTY(int heldCount READ heldCount) // read by polling
public:
    explicit TestHttpServer(QObject *parent = nullptr);

    bool listen(quint16 port = 0);
    void close();
    quint16 port() const { return m_server.serverPort(); }
    QString url() const; // http://127.0.0.1:<port>

    void respond(int status, const QByteArray &body, const QByteArray &contentType = "application/json");
    std::function<CannedResponse(const RecordedRequest &)> responder;

    QList<RecordedRequest> requests;

    // Answers held back so far and not yet released.
    int heldCount() const { return int(m_held.size()); }
    // Sends the oldest held answers (all of them when count is negative).
    Q_INVOKABLE void release(int count = -1);

    // A port on 127.0.0.1 that nobody listens on.
    static quint16 closedPort();

private:
    void onReadyRead(QTcpSocket *socket);
    static void write(QTcpSocket *socket, const CannedResponse &answer);

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QList<std::pair<QPointer<QTcpSocket>, CannedResponse>> m_held;
};
