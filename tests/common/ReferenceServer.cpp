#include "ReferenceServer.h"

#include <QRegularExpression>
#include <QUrl>

ReferenceServer::~ReferenceServer()
{
    stop();
}

bool ReferenceServer::start(const QStringList &extraArguments)
{
    QStringList args{QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                     QStringLiteral("0"), QStringLiteral("--data"), m_data.path()};
    if (m_demo)
        args << QStringLiteral("--demo");
    args += extraArguments;
    m_signIns.clear();
    m_startup.clear();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(THEORVANE_SERVER_BINARY), args);
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(QStringLiteral(THEORVANE_SERVER_BINARY), m_process.errorString());
        return false;
    }

    static const QRegularExpression signInLine(QStringLiteral("^demo sign-in: (\\S+) / (\\S+) \\((.*)\\)$"));
    QByteArray pending;
    while (true) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(20000)) {
            m_error = QStringLiteral("the server did not report its address");
            stop();
            return false;
        }
        while (m_process.canReadLine()) {
            const QByteArray raw = m_process.readLine();
            m_startup += raw;
            const QString line = QString::fromUtf8(raw).trimmed();
            if (line.startsWith(QLatin1String("THEORVANE_SERVER_URL=")))
                m_serverUrl = line.section(QLatin1Char('='), 1);
            else if (line.startsWith(QLatin1String("THEORVANE_CONTENT_URL=")))
                m_contentUrl = line.section(QLatin1Char('='), 1);
            else if (const auto m = signInLine.match(line); m.hasMatch())
                m_signIns.append({m.captured(1), m.captured(2), m.captured(3)});
            else if (line.startsWith(QLatin1String("listening on "))) {
                qputenv("THEORVANE_SERVER_URL", m_serverUrl.toUtf8());
                qputenv("THEORVANE_CONTENT_URL", m_contentUrl.toUtf8());
                return true;
            }
        }
    }
}

void ReferenceServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

int ReferenceServer::stop(QByteArray *printed)
{
    stop();
    if (printed)
        *printed = m_process.readAllStandardOutput();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

int ReferenceServer::runCommand(const QStringList &arguments) const
{
    QProcess process;
    process.start(QStringLiteral(THEORVANE_SERVER_BINARY), QStringList{QStringLiteral("--data"), m_data.path()} + arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

int ReferenceServer::port() const
{
    return QUrl(m_serverUrl).port();
}
