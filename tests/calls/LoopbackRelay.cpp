#include "LoopbackRelay.h"

#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUdpSocket>

QUdpSocket *UdpRelay::socketFor(quint16 realPort)
{
    if (QUdpSocket *socket = m_byReal.value(realPort))
        return socket;
    auto *socket = new QUdpSocket(this);
    socket->bind(QHostAddress::LocalHost, 0);
    m_byReal.insert(realPort, socket);
    m_real.insert(socket, realPort);
    connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readFrom(socket); });
    return socket;
}

QString UdpRelay::rewriteCandidate(const QString &line)
{
    static const QRegularExpression loopback(QStringLiteral("( UDP \\d+ 127\\.0\\.0\\.1 )(\\d+)( typ)"),
                                              QRegularExpression::CaseInsensitiveOption);
    const auto match = loopback.match(line);
    if (!match.hasMatch())
        return line;
    const quint16 relayPort = socketFor(quint16(match.captured(2).toUInt()))->localPort();
    QString rewritten = line;
    return rewritten.replace(match.capturedStart(2), match.capturedLength(2), QString::number(relayPort));
}

void UdpRelay::readFrom(QUdpSocket *socket)
{
    while (socket->hasPendingDatagrams()) {
        QByteArray data(int(socket->pendingDatagramSize()), Qt::Uninitialized);
        QHostAddress from;
        quint16 fromPort = 0;
        socket->readDatagram(data.data(), data.size(), &from, &fromPort);
        if (!m_blackHole)
            socketFor(fromPort)->writeDatagram(data, QHostAddress::LocalHost, m_real.value(socket));
    }
}

HttpRelay::HttpRelay(const QString &serverUrl, UdpRelay *media)
    : m_serverUrl(serverUrl)
    , m_media(media)
{
    m_listener.listen(QHostAddress::LocalHost, 0);
    connect(&m_listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
}

QString HttpRelay::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_listener.serverPort());
}

void HttpRelay::hold(const QString &match)
{
    m_hold = match;
}

void HttpRelay::release(bool deliver)
{
    m_hold.reset();
    for (const Request &request : std::exchange(m_held, {}))
        if (deliver)
            forward(request);
}

void HttpRelay::readFrom(QTcpSocket *socket)
{
    QByteArray &buffer = m_buffers[socket];
    buffer += socket->readAll();
    for (;;) {
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        static const QRegularExpression lengthHeader(QStringLiteral("(?im)^content-length:\\s*(\\d+)"));
        const QByteArray head = buffer.left(headEnd);
        const auto length = lengthHeader.match(QString::fromLatin1(head));
        const int bodyLength = length.hasMatch() ? length.captured(1).toInt() : 0;
        if (buffer.size() < headEnd + 4 + bodyLength)
            return;
        Request request{socket, head, buffer.mid(headEnd + 4, bodyLength)};
        buffer.remove(0, headEnd + 4 + bodyLength);
        const QString text = QString::fromUtf8(request.head + request.body);
        if (m_hold && (m_hold->isEmpty() || text.contains(*m_hold)))
            m_held.append(request);
        else
            forward(request);
    }
}

void HttpRelay::forward(const Request &request)
{
    const QList<QByteArray> lines = request.head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    QNetworkRequest outgoing(QUrl(m_serverUrl + QString::fromLatin1(requestLine.value(1))));
    for (const QByteArray &line : lines.mid(1)) {
        const int colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed();
        if (name.compare("Authorization", Qt::CaseInsensitive) == 0
            || name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            outgoing.setRawHeader(name, line.mid(colon + 1).trimmed());
    }
    const bool lose = !m_lose.isEmpty() && QString::fromUtf8(request.body).contains(m_lose);
    if (lose)
        m_lose.clear();
    QNetworkReply *reply = m_network.sendCustomRequest(outgoing, requestLine.value(0), request.body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, socket = request.socket, lose] {
        reply->deleteLater();
        if (!socket || lose)
            return; // a lost reply: the client waits until its deadline
        QByteArray body = reply->readAll();
        static const QRegularExpression candidate(QStringLiteral("\"candidate\":\"([^\"]*)\""));
        QString text = QString::fromUtf8(body);
        for (auto it = candidate.globalMatch(text); it.hasNext();) {
            const QString line = it.next().captured(1);
            text.replace(line, m_media->rewriteCandidate(line));
        }
        body = text.toUtf8();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        socket->write(QByteArrayLiteral("HTTP/1.1 ") + QByteArray::number(status ? status : 502)
                      + " Relayed\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\n\r\n" + body);
    });
}
