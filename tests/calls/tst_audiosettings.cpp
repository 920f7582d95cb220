// Call audio preferences as stored between runs.
#include "AudioSettingsManager.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestAudioSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

    static QSettings store() { return QSettings(QStringLiteral("TheOrvane"), QStringLiteral("Teams")); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void init()
    {
        store().clear();
    }

    void storedValuesComeBack_data()
    {
        QTest::addColumn<QVariant>("volume");
        QTest::addColumn<QVariant>("sensitivity");
        QTest::addColumn<QVariant>("mic");
        QTest::addColumn<float>("expectedVolume");
        QTest::addColumn<float>("expectedSensitivity");
        QTest::addColumn<bool>("expectedMic");
        QTest::newRow("nothing stored") << QVariant() << QVariant() << QVariant() << 0.8f << 0.5f << true;
        QTest::newRow("stored values") << QVariant(0.3f) << QVariant(0.9f) << QVariant(false) << 0.3f << 0.9f << false;
        QTest::newRow("zero is a value") << QVariant(0.0f) << QVariant(0.0f) << QVariant(true) << 0.0f << 0.0f
                                         << true;
        QTest::newRow("malformed gives default") << QVariant(QStringLiteral("loud")) << QVariant(QStringLiteral(""))
                                                 << QVariant() << 0.8f << 0.5f << true;
        QTest::newRow("out of range is clamped") << QVariant(4.0f) << QVariant(-2.0f) << QVariant() << 1.0f << 0.0f
                                                 << true;
        QTest::newRow("text flag") << QVariant() << QVariant() << QVariant(QStringLiteral("false")) << 0.8f << 0.5f
                                   << false;
    }

    void storedValuesComeBack()
    {
        QFETCH(QVariant, volume);
        QFETCH(QVariant, sensitivity);
        QFETCH(QVariant, mic);
        {
            QSettings s = store();
            if (volume.isValid())
                s.setValue(QStringLiteral("callOutputVolume"), volume);
            if (sensitivity.isValid())
                s.setValue(QStringLiteral("callInputSensitivity"), sensitivity);
            if (mic.isValid())
                s.setValue(QStringLiteral("callMicEnabledByDefault"), mic);
        }
        AudioSettingsManager settings(nullptr);
        QTEST(settings.outputVolume(), "expectedVolume");
        QTEST(settings.inputSensitivity(), "expectedSensitivity");
        QTEST(settings.micEnabledByDefault(), "expectedMic");
    }

    void changesAreSavedToBothKeySets()
    {
        {
            AudioSettingsManager settings(nullptr);
            QSignalSpy volume(&settings, &AudioSettingsManager::outputVolumeChanged);
            settings.setOutputVolume(0.25f);
            settings.setOutputVolume(0.25f);
            QCOMPARE(volume.size(), 1);
            settings.setInputSensitivity(0.75f);
            settings.setMicEnabledByDefault(false);
        }
        QSettings s = store();
        QCOMPARE(s.value(QStringLiteral("callOutputVolume")).toFloat(), 0.25f);
        QCOMPARE(s.value(QStringLiteral("callInputSensitivity")).toFloat(), 0.75f);
        QCOMPARE(s.value(QStringLiteral("callMicEnabledByDefault")).toBool(), false);
        // The settings page's call controls read the same values.
        QCOMPARE(s.value(QStringLiteral("speakerVolume")).toDouble(), 0.25);
        QCOMPARE(s.value(QStringLiteral("microphoneVolume")).toDouble(), 0.75);
        QCOMPARE(s.value(QStringLiteral("enableMicBeforeCall")).toBool(), false);
        // Zero is a value to keep, not "unset".
        AudioSettingsManager(nullptr).setOutputVolume(0.0f);
        QCOMPARE(AudioSettingsManager(nullptr).outputVolume(), 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestAudioSettings)
#include "tst_audiosettings.moc"
