// The call types as QML reaches them: the shared instances, the call clock, the level meter and the
// audio settings panel acting on a real call pipeline.
#include "AudioProbe.h"
#include "AudioSettingsManager.h"
#include "CallStateManager.h"
#include "MicrophoneMonitor.h"
#include "WebRTCManager.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

#include <gst/gst.h>

Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_SessionPlugin)
Q_IMPORT_QML_PLUGIN(Orvane_UiPlugin)

namespace {

constexpr int Wait = 15000;

double playbackVolume(WebRTCManager &media)
{
    GstElement *volume = gst_bin_get_by_name(GST_BIN(media.pipeline()), "playback_volume");
    double value = -1;
    g_object_get(volume, "volume", &value, nullptr);
    gst_object_unref(volume);
    return value;
}

// Delegates of a Repeater are the items' children, not the objects'.
QQuickItem *findItem(QObject *root, const QString &name)
{
    auto *item = qobject_cast<QQuickItem *>(root);
    if (!item)
        return nullptr;
    if (item->objectName() == name)
        return item;
    for (QQuickItem *child : item->childItems())
        if (QQuickItem *found = findItem(child, name))
            return found;
    return nullptr;
}

} // namespace

class TestCallsQml : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    std::unique_ptr<QQmlEngine> m_engine;

    std::unique_ptr<QObject> create(const QByteArray &qml)
    {
        QQmlComponent component(m_engine.get());
        component.setData(qml, QUrl());
        std::unique_ptr<QObject> object(component.create());
        if (!object)
            qWarning("%s", qPrintable(component.errorString()));
        return object;
    }

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        qputenv("THEORVANE_STUN_SERVERS", "");
        gst_init(nullptr, nullptr);
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    }

    void singletonsAreTheSharedInstances()
    {
        {
            QQmlEngine engine;
            engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
            QQmlComponent component(&engine);
            component.setData(R"(
                import QtQml
                import Orvane.Calls
                QtObject {
                    property real volume: AudioSettingsManager.outputVolume
                    property int state: WebRTCManager.connectionState
                    property QtObject manager: WebRTCManager
                    function mute() { WebRTCManager.isMuted = true }
                }
            )", QUrl());
            std::unique_ptr<QObject> root(component.create());
            QVERIFY2(root, qPrintable(component.errorString()));
            QCOMPARE(root->property("volume").toFloat(), 0.8f);
            QCOMPARE(root->property("state").toInt(), int(WebRTCManager::New));
            QCOMPARE(root->property("manager").value<QObject *>(), WebRTCManager::shared());
            QVERIFY(QMetaObject::invokeMethod(root.get(), "mute"));
            const int id = qmlTypeId("Orvane.Calls", 1, 0, "AudioSettingsManager");
            QCOMPARE(engine.singletonInstance<AudioSettingsManager *>(id), AudioSettingsManager::shared());
            // The application's media session follows the member's settings.
            QCOMPARE(WebRTCManager::shared()->outputVolume(), double(0.8f));
            AudioSettingsManager::shared()->setInputSensitivity(0.25f);
        }
        // The instances outlive the engine, with what it set.
        QVERIFY(WebRTCManager::shared()->isMuted());
        QCOMPARE(WebRTCManager::shared()->inputSensitivity(), 0.25);
        QCOMPARE(AudioSettingsManager::shared()->inputSensitivity(), 0.25f);
    }

    void durationText_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("under a minute") << 59 << "00:59";
        QTest::newRow("over an hour, minutes not wrapped") << 3725 << "62:05";
        QTest::newRow("three-digit minutes") << 6000 << "100:00";
        QTest::newRow("negative clamps") << -5 << "00:00";
    }

    void durationText()
    {
        QFETCH(int, seconds);
        QTEST(CallStateManager::formatDuration(seconds), "text");
    }

    void meterBarsAndPercentages()
    {
        auto meter = create("import Orvane.Calls\nMicrophoneLevelIndicator { width: 238; height: 6 }");
        QVERIFY(meter);
        const QList<std::pair<double, int>> levels{{0, 0}, {0.0001, 1}, {0.05, 1}, {0.051, 2}, {0.5, 10}, {1, 20}, {3, 20}};
        for (const auto &[level, lit] : levels) {
            meter->setProperty("level", level);
            QCOMPARE(meter->property("litBars").toInt(), lit);
        }
        // The single-precision level of a capture sits on the same thresholds.
        meter->setProperty("level", double(0.05f));
        QCOMPARE(meter->property("litBars").toInt(), 1);
        meter->setProperty("level", double(MicrophoneMonitor::levelForRms(0.1)));
        QCOMPARE(meter->property("litBars").toInt(), 10);
        meter->setProperty("level", 1.0);
        auto bar = [&](int i) { return findItem(meter.get(), QStringLiteral("bar%1").arg(i)); };
        QCOMPARE(bar(0)->width(), 10.0); // (238 - 19 gaps of 2) / 20
        QCOMPARE(bar(11)->property("color").value<QColor>(), QColor("#22C55E"));
        QCOMPARE(bar(12)->property("color").value<QColor>(), QColor("#EAB308"));
        QCOMPARE(bar(16)->property("color").value<QColor>(), QColor("#EF4444"));
        meter->setProperty("level", 0.5);
        QVERIFY(!bar(10)->property("lit").toBool());

        QCOMPARE(AudioSettingsManager::percentText(0.29f), QStringLiteral("29%"));
        QCOMPARE(AudioSettingsManager::percentText(0.999), QStringLiteral("99%"));
    }

    // The panel edits the settings, which act on a running call at once; its meter opens the
    // microphone only while the panel is open.
    void panelActsOnTheCall()
    {
        MediaConfig tone;
        // A square wave's RMS is its amplitude: 0.1 is level 0.5 at unity gain.
        tone.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=square freq=750 volume=0.1");
        tone.sinkDescription = AudioProbe::sinkDescription();
        WebRTCManager media(tone);
        AudioSettingsManager settings(nullptr);
        settings.setInputSensitivity(0.5f); // unity gain
        media.followAudioSettings(&settings);
        media.createPeerConnection();
        QVERIFY(media.pipeline());

        auto panel = create("import Orvane.Calls\nAudioSettingsPanel { width: 380 }");
        QVERIFY(panel);
        MicrophoneMonitor monitor(tone);
        panel->setProperty("audioSettings", QVariant::fromValue<QObject *>(&settings));
        panel->setProperty("monitor", QVariant::fromValue<QObject *>(&monitor));
        QVERIFY(!panel->property("visible").toBool());
        QVERIFY(!monitor.isRunning());

        panel->setProperty("isPresented", true);
        QVERIFY(monitor.isRunning());
        auto *meter = panel->findChild<QObject *>(QStringLiteral("levelIndicator"));
        QTRY_COMPARE_WITH_TIMEOUT(meter->property("litBars").toInt(), 10, Wait);

        auto *volumeRow = panel->findChild<QObject *>(QStringLiteral("volumeRow"));
        auto *slider = volumeRow->findChild<QObject *>(QStringLiteral("slider"));
        slider->setProperty("value", 0.3);
        QVERIFY(QMetaObject::invokeMethod(slider, "moved"));
        QCOMPARE(settings.outputVolume(), 0.3f);
        QCOMPARE(playbackVolume(media), double(0.3f));
        QCOMPARE(volumeRow->findChild<QObject *>(QStringLiteral("percent"))->property("text").toString(),
                 QStringLiteral("30%"));

        // The meter shows the microphone at the chosen sensitivity: 1.0 doubles the level, 0 is dark.
        auto *sensitivity = panel->findChild<QObject *>(QStringLiteral("sensitivityRow"))->findChild<QObject *>("slider");
        sensitivity->setProperty("value", 1.0);
        QVERIFY(QMetaObject::invokeMethod(sensitivity, "moved"));
        QCOMPARE(media.inputSensitivity(), 1.0);
        QCOMPARE(meter->property("litBars").toInt(), 20);
        sensitivity->setProperty("value", 0.0);
        QVERIFY(QMetaObject::invokeMethod(sensitivity, "moved"));
        QCOMPARE(meter->property("litBars").toInt(), 0);

        auto *check = panel->findChild<QObject *>(QStringLiteral("micEnabledCheck"));
        QVERIFY(check->property("checked").toBool());
        QVERIFY(QMetaObject::invokeMethod(check, "toggle"));
        QVERIFY(QMetaObject::invokeMethod(check, "toggled"));
        QVERIFY(!settings.micEnabledByDefault());

        QVERIFY(QMetaObject::invokeMethod(panel->findChild<QObject *>(QStringLiteral("panelCloseButton")), "clicked"));
        QVERIFY(!panel->property("isPresented").toBool());
        QVERIFY(!monitor.isRunning());
    }
};

QTEST_MAIN(TestCallsQml)
#include "tst_callsqml.moc"
