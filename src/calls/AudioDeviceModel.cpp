#include "AudioDeviceModel.h"

#include <QCoreApplication>

#include <gst/gst.h>

#include <algorithm>
#include <functional>
#include <future>
#include <optional>

namespace {

const char *deviceClass(AudioDeviceModel::Kind kind)
{
    return kind == AudioDeviceModel::Microphone ? "Audio/Source" : "Audio/Sink";
}

// Only devices the sound server's own elements can open by name are offered.
std::optional<AudioDeviceModel::Device> describe(GstDevice *device, AudioDeviceModel::Kind kind)
{
    if (!g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name"))
        return std::nullopt;
    gchar *internal = nullptr;
    g_object_get(device, "internal-name", &internal, nullptr);
    AudioDeviceModel::Device result;
    result.name = QString::fromUtf8(internal);
    g_free(internal);
    if (result.name.isEmpty())
        return std::nullopt;
    if (GstStructure *props = gst_device_get_properties(device)) {
        // A loop-back of an output is no microphone.
        const gchar *klass = gst_structure_get_string(props, "device.class");
        const bool monitorOfOutput = klass && g_str_equal(klass, "monitor");
        gboolean isDefault = FALSE;
        gst_structure_get_boolean(props, "is-default", &isDefault);
        result.isDefault = isDefault;
        gst_structure_free(props);
        if (kind == AudioDeviceModel::Microphone && monitorOfOutput)
            return std::nullopt;
    }
    gchar *display = gst_device_get_display_name(device);
    result.displayName = QString::fromUtf8(display);
    g_free(display);
    if (result.displayName.isEmpty())
        result.displayName = result.name;
    return result;
}

} // namespace

// One watch for the whole process while any chooser shows. The sound server's device provider
// is shared, and of several monitors on it only one hears about a device coming or going.
// Lives on the GUI thread; the thread that starts the monitor and the monitor's bus handler (the
// sound server's thread) post to it. Its destructor waits for the start and stops the monitor,
// which joins the sound server's thread: posts always find it alive.
class AudioDeviceModel::Watch
{
public:
    static std::shared_ptr<Watch> acquire()
    {
        static std::weak_ptr<Watch> current;
        auto watch = current.lock();
        if (!watch) {
            watch = std::make_shared<Watch>();
            current = watch;
            watch->start();
        }
        return watch;
    }

    ~Watch()
    {
        if (m_starting.valid())
            m_starting.get();
        if (m_monitor) {
            gst_device_monitor_stop(m_monitor);
            GstBus *bus = gst_device_monitor_get_bus(m_monitor);
            gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
            gst_object_unref(bus);
            gst_object_unref(m_monitor);
        }
    }

    bool loaded = false;
    QList<Device> devices[2]; // by kind
    QList<AudioDeviceModel *> models;

private:
    void start()
    {
        // Starting the monitor loads plugins and asks the sound server: not on the GUI thread.
        m_starting = std::async(std::launch::async, [this] {
            if (!gst_is_initialized())
                gst_init(nullptr, nullptr);
            GstDeviceMonitor *monitor = gst_device_monitor_new();
            gst_device_monitor_add_filter(monitor, deviceClass(Microphone), nullptr);
            gst_device_monitor_add_filter(monitor, deviceClass(Speaker), nullptr);
            GstBus *bus = gst_device_monitor_get_bus(monitor);
            gst_bus_set_sync_handler(bus, &Watch::onMessage, this, nullptr);
            gst_object_unref(bus);
            QList<Device> found[2];
            if (gst_device_monitor_start(monitor)) {
                GList *list = gst_device_monitor_get_devices(monitor);
                for (GList *l = list; l; l = l->next) {
                    const Kind kind = kindOf(GST_DEVICE(l->data));
                    if (const auto described = describe(GST_DEVICE(l->data), kind))
                        found[kind].append(*described);
                }
                g_list_free_full(list, gst_object_unref);
                m_monitor = monitor;
            } else {
                gst_object_unref(monitor);
            }
            post([microphones = found[0], speakers = found[1]](Watch *watch) {
                watch->devices[Microphone] = microphones;
                watch->devices[Speaker] = speakers;
                watch->loaded = true;
                for (AudioDeviceModel *model : QList(watch->models))
                    if (watch->models.contains(model))
                        model->showWatch();
            });
        });
    }

    static Kind kindOf(GstDevice *device)
    {
        return gst_device_has_classes(device, deviceClass(Microphone)) ? Microphone : Speaker;
    }

    void post(std::function<void(Watch *)> step)
    {
        QMetaObject::invokeMethod(&m_context, [this, step = std::move(step)] { step(this); }, Qt::QueuedConnection);
    }

    static GstBusSyncReply onMessage(GstBus *, GstMessage *message, gpointer data)
    {
        auto *watch = static_cast<Watch *>(data);
        GstDevice *device = nullptr;
        GstDevice *previous = nullptr;
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_DEVICE_ADDED:
            gst_message_parse_device_added(message, &device);
            break;
        case GST_MESSAGE_DEVICE_REMOVED:
            gst_message_parse_device_removed(message, &previous);
            break;
        case GST_MESSAGE_DEVICE_CHANGED:
            gst_message_parse_device_changed(message, &device, &previous);
            break;
        default:
            break;
        }
        if (previous) {
            // A removed device may no longer pass describe()'s filter; its name is enough.
            const Kind kind = kindOf(previous);
            gchar *internal = nullptr;
            if (g_object_class_find_property(G_OBJECT_GET_CLASS(previous), "internal-name"))
                g_object_get(previous, "internal-name", &internal, nullptr);
            const QString name = QString::fromUtf8(internal);
            g_free(internal);
            gst_object_unref(previous);
            if (!name.isEmpty()) {
                watch->post([kind, name](Watch *w) {
                    w->devices[kind].removeIf([&](const Device &d) { return d.name == name; });
                    for (AudioDeviceModel *model : QList(w->models)) {
                        if (w->models.contains(model) && model->m_kind == kind)
                            model->removeDevice(name);
                    }
                });
            }
        }
        if (device) {
            const Kind kind = kindOf(device);
            if (const auto described = describe(device, kind)) {
                watch->post([kind, d = *described](Watch *w) {
                    if (std::none_of(w->devices[kind].cbegin(), w->devices[kind].cend(),
                                     [&](const Device &known) { return known.name == d.name; }))
                        w->devices[kind].append(d);
                    for (AudioDeviceModel *model : QList(w->models)) {
                        if (w->models.contains(model) && model->m_kind == kind)
                            model->addDevice(d);
                    }
                });
            }
            gst_object_unref(device);
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }

    QObject m_context; // posted steps die with it
    GstDeviceMonitor *m_monitor = nullptr;
    std::future<void> m_starting;
};

AudioDeviceModel::AudioDeviceModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

AudioDeviceModel::~AudioDeviceModel()
{
    if (m_watch)
        m_watch->models.removeOne(this);
}

void AudioDeviceModel::setKind(Kind kind)
{
    if (m_kind == kind)
        return;
    m_kind = kind;
    setDevices(m_watch && m_watch->loaded ? m_watch->devices[kind] : QList<Device>());
    emit kindChanged();
}

void AudioDeviceModel::setActive(bool active)
{
    if (m_active == active)
        return;
    m_active = active;
    if (active)
        start();
    else
        stop();
    emit activeChanged();
}

void AudioDeviceModel::start()
{
    m_watch = Watch::acquire();
    m_watch->models.append(this);
    if (m_watch->loaded)
        showWatch();
}

void AudioDeviceModel::showWatch()
{
    setDevices(m_watch->devices[m_kind]);
    if (!m_loaded) {
        m_loaded = true;
        emit loadedChanged();
    }
}

void AudioDeviceModel::stop()
{
    if (!m_watch)
        return;
    m_watch->models.removeOne(this);
    // A chooser may hide in answer to the watch's own news: the watch goes after that step. It is
    // held here, not by the posted step: an application ending with the step unsent would destroy
    // the watch inside Qt's clean-up of its event queue, while the watch's start still posts to it.
    static std::shared_ptr<Watch> lingering;
    lingering = std::move(m_watch);
    if (QCoreApplication::instance()) {
        static const bool releasedAtExit = (qAddPostRoutine([] { lingering.reset(); }), true);
        Q_UNUSED(releasedAtExit)
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { lingering.reset(); }, Qt::QueuedConnection);
    } else {
        lingering.reset();
    }
    if (m_loaded) {
        m_loaded = false;
        emit loadedChanged();
    }
}

void AudioDeviceModel::setDevices(const QList<Device> &devices)
{
    QList<Device> labelled = devices;
    label(labelled);
    if (labelled == m_devices)
        return;
    beginResetModel();
    m_devices = labelled;
    endResetModel();
}

void AudioDeviceModel::label(QList<Device> &devices)
{
    // Two devices of one make share a description; their names tell them apart.
    for (Device &device : devices) {
        const auto same = std::count_if(devices.cbegin(), devices.cend(),
                                        [&](const Device &d) { return d.displayName == device.displayName; });
        device.label = same > 1 ? QStringLiteral("%1 (%2)").arg(device.displayName, device.name) : device.displayName;
    }
}

void AudioDeviceModel::relabel(const QList<Device> &labelled)
{
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).label == labelled.at(i).label)
            continue;
        m_devices[i].label = labelled.at(i).label;
        emit dataChanged(index(i + 1), index(i + 1), {Qt::DisplayRole, DisplayNameRole});
    }
}

void AudioDeviceModel::addDevice(const Device &device)
{
    if (indexOf(device.name) > 0)
        return;
    QList<Device> next = m_devices;
    next.append(device);
    label(next);
    // Its twins take their new labels before it shows up.
    relabel(next);
    const int row = m_devices.size() + 1;
    beginInsertRows({}, row, row);
    m_devices.append(next.last());
    endInsertRows();
}

void AudioDeviceModel::removeDevice(const QString &name)
{
    const int row = indexOf(name);
    if (row <= 0)
        return;
    beginRemoveRows({}, row, row);
    m_devices.removeAt(row - 1);
    endRemoveRows();
    QList<Device> next = m_devices;
    label(next);
    relabel(next);
}

int AudioDeviceModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_devices.size()) + 1;
}

QVariant AudioDeviceModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (index.row() == 0) // the system default: the screen names it in its language
        return role == NameRole || role == DisplayNameRole || role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    const Device &device = m_devices.at(index.row() - 1);
    switch (role) {
    case NameRole:
        return device.name;
    case Qt::DisplayRole:
    case DisplayNameRole:
        return device.label;
    default:
        return {};
    }
}

QHash<int, QByteArray> AudioDeviceModel::roleNames() const
{
    return {{NameRole, "name"}, {DisplayNameRole, "displayName"}};
}

int AudioDeviceModel::indexOf(const QString &name) const
{
    if (name.isEmpty())
        return 0;
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i).name == name)
            return i + 1;
    }
    return -1;
}

QList<AudioDeviceModel::Device> AudioDeviceModel::probe(Kind kind)
{
    if (!gst_is_initialized())
        gst_init(nullptr, nullptr);
    GstDeviceMonitor *monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, deviceClass(kind), nullptr);
    QList<Device> devices;
    // Only a started monitor learns which device is the default.
    const bool started = gst_device_monitor_start(monitor);
    GList *list = gst_device_monitor_get_devices(monitor);
    if (started)
        gst_device_monitor_stop(monitor);
    for (GList *l = list; l; l = l->next) {
        if (const auto described = describe(GST_DEVICE(l->data), kind))
            devices.append(*described);
    }
    g_list_free_full(list, gst_object_unref);
    gst_object_unref(monitor);
    return devices;
}
