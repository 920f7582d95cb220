#include "OutputCapture.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

OutputCapture::OutputCapture()
{
    m_path = QDir::temp().filePath(QStringLiteral("orvane-calls-output-%1.txt").arg(getpid()));
    std::fflush(stdout);
    m_fileFd = ::open(QFile::encodeName(m_path).constData(), O_CREAT | O_TRUNC | O_RDWR, 0600);
    m_savedFd = ::dup(STDOUT_FILENO);
    ::dup2(m_fileFd, STDOUT_FILENO);
}

OutputCapture::~OutputCapture()
{
    std::fflush(stdout);
    ::dup2(m_savedFd, STDOUT_FILENO);
    ::close(m_savedFd);
    ::close(m_fileFd);
    // Replay what was captured so a failing test's log stays readable.
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray text = file.readAll();
        std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
        std::fflush(stdout);
    }
    QFile::remove(m_path);
}

QStringList OutputCapture::lines()
{
    std::fflush(stdout);
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

int OutputCapture::count(const QString &line)
{
    return int(lines().count(line));
}

int OutputCapture::indexOf(const QString &line, int from)
{
    return int(lines().indexOf(line, from));
}
