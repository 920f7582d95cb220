#include "TestHttpServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTcpSocket>

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
    respond(200, "{}");
}

bool TestHttpServer::listen(quint16 port)
{
    if (port == 0)
        return m_server.listen(QHostAddress::LocalHost, port);
    // A port another server just left still has its connections in TIME_WAIT: reuse it, as servers do
    // (the reference server's sockets allow both kinds of reuse, and Linux asks for the same here).
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), one = 1;
    sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    for (const int option : {SO_REUSEADDR, SO_REUSEPORT})
        ::setsockopt(fd, SOL_SOCKET, option, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 && ::listen(fd, 50) == 0)
        return m_server.setSocketDescriptor(fd);
    ::close(fd);
    return false;
}

void TestHttpServer::close()
{
    m_server.close();
}

QString TestHttpServer::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

quint16 TestHttpServer::closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when the probe goes
}

void TestHttpServer::respond(int status, const QByteArray &body, const QByteArray &contentType)
{
    responder = [=](const RecordedRequest &) {
        CannedResponse r;
        r.status = status;
        r.body = body;
        r.contentType = contentType;
        return r;
    };
}

void TestHttpServer::release(int count)
{
    while (!m_held.isEmpty() && count-- != 0) {
        const auto [socket, answer] = m_held.takeFirst();
        if (socket && socket->state() == QAbstractSocket::ConnectedState)
            write(socket, answer);
    }
}

void TestHttpServer::write(QTcpSocket *socket, const CannedResponse &answer)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + " Status\r\n";
    if (!answer.contentType.isEmpty())
        out += "Content-Type: " + answer.contentType + "\r\n";
    for (const auto &[name, value] : answer.extraHeaders)
        out += name + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += answer.body;
    socket->write(out);
    socket->disconnectFromHost();
}

void TestHttpServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    RecordedRequest request;
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() < 3)
        return;
    request.method = requestLine.at(0);
    request.target = requestLine.at(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    const qsizetype length = request.header("content-length").toLongLong();
    if (buffer.size() < end + 4 + length)
        return; // wait for the rest of the body
    request.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    requests.append(request);

    CannedResponse answer = responder(request);
    if (answer.silent)
        return;
    if (answer.held) {
        answer.held = false;
        m_held.append({socket, answer});
        return;
    }
    write(socket, answer);
}
