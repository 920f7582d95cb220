#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

#include <memory>

// The sound server's microphones or speakers for a device chooser: row 0 is the system default
// (empty name), then one row per device, kept current as devices come and go. The device watch
// runs only while the model is active, so nothing touches the sound server until a chooser shows.
class AudioDeviceModel : public QAbstractListModel
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(Kind kind READ kind WRITE setKind NOTIFY kindChanged)
    Q_PROPERTY(bool active READ isActive WRITE setActive NOTIFY activeChanged)
    // The first list has arrived since the model became active.
    Q_PROPERTY(bool loaded READ isLoaded NOTIFY loadedChanged)

public:
    enum Kind { Microphone, Speaker };
    Q_ENUM(Kind)
    enum Role { NameRole = Qt::UserRole + 1, DisplayNameRole };

    struct Device
    {
        QString name; // what the sound server's elements take as "device"
        QString displayName;
        QString label; // the display name, with the name when another device shares it
        bool isDefault = false;
        bool operator==(const Device &) const = default;
    };

    explicit AudioDeviceModel(QObject *parent = nullptr);
    ~AudioDeviceModel() override;

    Kind kind() const { return m_kind; }
    void setKind(Kind kind);
    bool isActive() const { return m_active; }
    void setActive(bool active);
    bool isLoaded() const { return m_loaded; }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Row of the device with this name (0 for the default), -1 when it is not there.
    Q_INVOKABLE int indexOf(const QString &name) const;

    // Asks the sound server once, blocking for about two milliseconds.
    static QList<Device> probe(Kind kind);

signals:
    void kindChanged();
    void activeChanged();
    void loadedChanged();

private:
    class Watch;
    void start();
    void stop();
    void showWatch();
    void setDevices(const QList<Device> &devices);
    void addDevice(const Device &device);
    void removeDevice(const QString &name);
    static void label(QList<Device> &devices);
    void relabel(const QList<Device> &labelled);

    Kind m_kind = Microphone;
    bool m_active = false;
    bool m_loaded = false;
    QList<Device> m_devices; // without the default row
    std::shared_ptr<Watch> m_watch; // shared by every active model
};
