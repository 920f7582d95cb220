#pragma once

#include <QString>
#include <QStringList>

// Captures the diagnostic lines written to standard output while it is alive.
class OutputCapture
{
public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    // Everything written so far (keeps capturing).
    QStringList lines();
    int count(const QString &line);
    int indexOf(const QString &line, int from = 0);

private:
    int m_savedFd = -1;
    int m_fileFd = -1;
    QString m_path;
};
