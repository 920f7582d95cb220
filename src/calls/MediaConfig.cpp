#include "MediaConfig.h"

#include "AudioDeviceModel.h"
#include "Diagnostics.h"

#include <QHostInfo>
#include <QRegularExpression>

#include <canberra.h>
#include <gst/gst.h>

#include <algorithm>
#include <optional>

namespace {

QString missingDeviceNotice(bool microphone, const QString &device)
{
    return QStringLiteral("[Audio] %1 \"%2\" not found, using the system default")
        .arg(microphone ? QStringLiteral("Microphone") : QStringLiteral("Speaker"), device);
}

// The leaf elements of a bin (or the element itself) that open a sound-server device by name.
QList<GstElement *> deviceElements(GstElement *bin)
{
    QList<GstElement *> found;
    auto consider = [&found](GstElement *e) {
        if (GST_IS_BIN(e))
            return;
        GParamSpec *property = g_object_class_find_property(G_OBJECT_GET_CLASS(e), "device");
        if (property && property->value_type == G_TYPE_STRING && (property->flags & G_PARAM_WRITABLE)
            && (GST_OBJECT_FLAG_IS_SET(e, GST_ELEMENT_FLAG_SOURCE) || GST_OBJECT_FLAG_IS_SET(e, GST_ELEMENT_FLAG_SINK)))
            found.append(e);
    };
    if (!GST_IS_BIN(bin)) {
        consider(bin);
        return found;
    }
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        consider(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found; // the bin keeps them alive
}

} // namespace

MediaConfig MediaConfig::fromEnvironment()
{
    MediaConfig config;
    if (qEnvironmentVariableIsSet("THEORVANE_STUN_SERVERS")) {
        const QString value = qEnvironmentVariable("THEORVANE_STUN_SERVERS");
        config.stunServers = value.split(QRegularExpression(QStringLiteral("[,\\s]+")), Qt::SkipEmptyParts);
    } else {
        config.stunServers = defaultStunServers();
    }
    config.iceAddress = qEnvironmentVariable("THEORVANE_ICE_ADDRESS").trimmed();
    return config;
}

QStringList MediaConfig::defaultStunServers()
{
    return {
        QStringLiteral("stun.l.google.com:19302"),
        QStringLiteral("stun1.l.google.com:19302"),
        QStringLiteral("stun2.l.google.com:19302"),
        QStringLiteral("stun.stunprotocol.org:3478"),
        QStringLiteral("stun.nextcloud.com:3478"),
    };
}

std::pair<QString, quint16> MediaConfig::parseStunServer(const QString &entry)
{
    QString rest = entry.trimmed();
    if (rest.startsWith(QLatin1String("stun://"), Qt::CaseInsensitive))
        rest = rest.mid(7);
    else if (rest.startsWith(QLatin1String("stun:"), Qt::CaseInsensitive))
        rest = rest.mid(5);
    const int colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return {};
    bool ok = false;
    const uint port = rest.mid(colon + 1).toUInt(&ok);
    QString host = rest.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    if (!ok || port == 0 || port > 65535 || host.isEmpty() || host.contains(QLatin1Char('/')))
        return {};
    return {host, quint16(port)};
}

QString MediaConfig::resolveStunServer() const
{
    for (const QString &entry : stunServers) {
        const auto [host, port] = parseStunServer(entry);
        if (host.isEmpty())
            continue;
        const QHostInfo info = QHostInfo::fromName(host);
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty())
            continue;
        // libnice wants an address it can use as is, so hand over the resolved one.
        const QHostAddress address = info.addresses().constFirst();
        const QString text = address.protocol() == QAbstractSocket::IPv6Protocol
            ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
            : address.toString();
        return QStringLiteral("stun://%1:%2").arg(text).arg(port);
    }
    return {};
}

bool MediaConfig::usesTestSource() const
{
    return sourceDescription.trimmed().startsWith(QLatin1String("audiotestsrc"));
}

void MediaConfig::applyDevices(GstElement *bin, QStringList *reported) const
{
    if (!bin)
        return;
    std::optional<QList<AudioDeviceModel::Device>> known[2];
    for (GstElement *element : deviceElements(bin)) {
        const bool source = GST_OBJECT_FLAG_IS_SET(element, GST_ELEMENT_FLAG_SOURCE);
        const QString &chosen = source ? sourceDevice : sinkDevice;
        // A running stream moves to the new device; a default one being built needs nothing.
        const bool running = GST_STATE(element) > GST_STATE_NULL;
        if (chosen.isEmpty() && !running)
            continue;
        auto &devices = known[source ? 0 : 1];
        if (!devices)
            devices = AudioDeviceModel::probe(source ? AudioDeviceModel::Microphone : AudioDeviceModel::Speaker);
        QString target = chosen;
        auto has = [&](auto match) { return std::find_if(devices->cbegin(), devices->cend(), match); };
        if (!chosen.isEmpty() && has([&](const auto &d) { return d.name == chosen; }) == devices->cend()) {
            const QString notice = missingDeviceNotice(source, chosen);
            if (!reported || !reported->contains(notice)) {
                diag(notice);
                if (reported)
                    reported->append(notice);
            }
            target.clear();
        }
        // A stream that is already open cannot be told "the default": name it.
        if (target.isEmpty() && running) {
            const auto fallback = has([](const auto &d) { return d.isDefault; });
            if (fallback == devices->cend())
                continue;
            target = fallback->name;
        }
        gchar *current = nullptr;
        g_object_get(element, "device", &current, nullptr);
        const bool same = QString::fromUtf8(current) == target;
        g_free(current);
        if (!same)
            g_object_set(element, "device", target.isEmpty() ? nullptr : target.toUtf8().constData(), nullptr);
    }
}

void MediaConfig::playSound(void *canberraContext, const QString &sinkDevice, const char *eventId)
{
    auto *context = static_cast<ca_context *>(canberraContext);
    if (!context)
        return;
    const QByteArray device = sinkDevice.toUtf8();
    ca_context_change_device(context, sinkDevice.isEmpty() ? nullptr : device.constData());
    if (ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId, nullptr) == CA_SUCCESS || sinkDevice.isEmpty())
        return;
    ca_context_change_device(context, nullptr);
    // Only a gone speaker, not a missing theme sound, earns the notice; once per speaker.
    static QString noticed;
    if (ca_context_play(context, 0, CA_PROP_EVENT_ID, eventId, nullptr) == CA_SUCCESS && noticed != sinkDevice) {
        noticed = sinkDevice;
        diag(missingDeviceNotice(false, sinkDevice));
    }
}
