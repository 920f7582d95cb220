#pragma once

#include <QString>

#include <functional>

// Writes one diagnostic line (UTF-8, newline added) to standard output and flushes it.
void diag(const QString &line);

// Tests capture the lines instead of printing them; an empty function restores standard output.
using DiagnosticsSink = std::function<void(const QString &line)>;
void setDiagnosticsSink(DiagnosticsSink sink);
