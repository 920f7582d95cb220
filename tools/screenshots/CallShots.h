#pragma once

#include <QString>

class QQmlEngine;

// Places a real call between two demo members through the server at THEORVANE_SERVER_URL (test
// tones instead of microphones) and saves each call window in each of its looks as
// DIR/call-<look>-<suffix>.png: outgoing, settings, incoming, active, answered, busy, ended.
// A third member's call to the busy caller gives the busy look. Returns the process exit code.
struct CallShotMember
{
    QString email;
    QString password;
};

int shootCallWindows(QQmlEngine &engine, const QString &dir, const QString &suffix, const CallShotMember &caller,
                     const CallShotMember &callee, const CallShotMember &third);
