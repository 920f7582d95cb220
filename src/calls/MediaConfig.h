#pragma once

#include <QString>
#include <QStringList>

typedef struct _GstElement GstElement;

// Where call audio comes from and goes to, and how ICE may reach the network.
// Sources and sinks are gst-launch fragments so that tests can run the real call
// pipeline with test tones and readable sinks instead of sound devices.
struct MediaConfig
{
    QString sourceDescription = QStringLiteral("pulsesrc");
    QString sinkDescription = QStringLiteral("pulsesink");
    // The member's chosen microphone and speaker by their sound-server names; empty = system default.
    QString sourceDevice;
    QString sinkDevice;
    // "host:port" entries, tried in order; the first that resolves is used.
    QStringList stunServers;
    // When set, ICE gathers candidates on this local address only.
    QString iceAddress;
    // The RTP payload number our offers give Opus (an answer always uses the offer's).
    int opusPayload = 96;

    // Production defaults, overridden by THEORVANE_STUN_SERVERS (comma or space separated,
    // empty = no STUN) and THEORVANE_ICE_ADDRESS.
    static MediaConfig fromEnvironment();
    static QStringList defaultStunServers();

    // "stun.example.org:3478", "stun:host:port" and "stun://host:port" all give
    // {host, port}; anything without a usable port gives an empty host.
    static std::pair<QString, quint16> parseStunServer(const QString &entry);

    // First configured server whose host resolves, as "stun://host:port"; empty when none.
    // Blocks on name resolution: call it off the GUI thread.
    QString resolveStunServer() const;

    // Points the sound-server sources and sinks inside `bin` (built from the descriptions above,
    // or a running pipeline) at the chosen devices. The device is set as a property, never spliced
    // into a description: a device name is anybody's text. A chosen device the sound server does
    // not have gives the system default and one line on the output, unless `reported` holds that
    // line already (it is added). Asks the sound server (about two milliseconds) only when a
    // device is chosen or a running element goes back to the default.
    void applyDevices(GstElement *bin, QStringList *reported = nullptr) const;

    // Plays a sound-theme event through libcanberra on the chosen speaker, or on the default
    // one when that speaker is gone.
    static void playSound(void *canberraContext, const QString &sinkDevice, const char *eventId);

    // A built-in test source needs no microphone permission.
    bool usesTestSource() const;
};
