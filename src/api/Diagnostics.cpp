#include "Diagnostics.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {
DiagnosticsSink &sink()
{
    static DiagnosticsSink s;
    return s;
}
std::atomic_bool flushPending{false};

// A poll of a long chat writes thousands of lines in one turn of the event loop; flushing each
// one is a system call each. On the GUI thread the lines are flushed together once the turn ends.
void flushSoon()
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::fflush(stdout);
        return;
    }
    if (flushPending.exchange(true))
        return;
    QMetaObject::invokeMethod(app, [] {
        flushPending = false;
        std::fflush(stdout);
    }, Qt::QueuedConnection);
}
} // namespace

void diag(const QString &line)
{
    if (const auto &s = sink()) {
        s(line);
        return;
    }
    // One write per line so lines from different threads do not interleave.
    QByteArray bytes = line.toUtf8();
    bytes.append('\n');
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    flushSoon();
}

void setDiagnosticsSink(DiagnosticsSink s)
{
    sink() = std::move(s);
}
