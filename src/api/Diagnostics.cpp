#include "Diagnostics.h"

#include <cstdio>

namespace {
DiagnosticsSink &sink()
{
    static DiagnosticsSink s;
    return s;
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
    std::fflush(stdout);
}

void setDiagnosticsSink(DiagnosticsSink s)
{
    sink() = std::move(s);
}
