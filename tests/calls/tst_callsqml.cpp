// The media types as the call windows reach them from QML.
#include "AudioSettingsManager.h"
#include "MicrophoneMonitor.h"
#include "WebRTCManager.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(Orvane_CallsPlugin)

class TestCallsQml : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void singletonsAreTheSharedInstances()
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
                property bool audio: WebRTCManager.isAudioEnabled
                property MicrophoneMonitor monitor: MicrophoneMonitor {}
                property int bars: monitor.bars
                property QtObject manager: WebRTCManager
                function mute() { WebRTCManager.isMuted = true }
            }
        )", QUrl());
        std::unique_ptr<QObject> root(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        QCOMPARE(root->property("volume").toFloat(), 0.8f);
        QCOMPARE(root->property("state").toInt(), int(WebRTCManager::New));
        QVERIFY(root->property("audio").toBool());
        QCOMPARE(root->property("bars").toInt(), 0);

        QCOMPARE(root->property("manager").value<QObject *>(), WebRTCManager::shared());
        QVERIFY(QMetaObject::invokeMethod(root.get(), "mute"));
        QVERIFY(WebRTCManager::shared()->isMuted());
        const int id = qmlTypeId("Orvane.Calls", 1, 0, "AudioSettingsManager");
        QCOMPARE(engine.singletonInstance<AudioSettingsManager *>(id), AudioSettingsManager::shared());
        root.reset();
        // The engine does not own the process-wide instances.
    }

    void instancesOutliveEngines()
    {
        QVERIFY(WebRTCManager::shared());
        QCOMPARE(WebRTCManager::shared()->isMuted(), true);
        QVERIFY(AudioSettingsManager::shared());
    }
};

QTEST_GUILESS_MAIN(TestCallsQml)
#include "tst_callsqml.moc"
