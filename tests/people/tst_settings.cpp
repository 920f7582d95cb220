// The settings page's call values (shared with the call panel) and its microphone test.
#include "AudioSettingsManager.h"
#include "Diagnostics.h"
#include "MicrophoneMonitor.h"
#include "SettingsModel.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int waitMs = 20000; // a bound for the audio pipeline to come up, never a timing assertion

// Routes diagnostic lines into a list for as long as it lives.
struct DiagnosticLines {
    QStringList lines;
    DiagnosticLines() { setDiagnosticsSink([this](const QString &line) { lines << line; }); }
    ~DiagnosticLines() { setDiagnosticsSink({}); }
    bool startsWith(const QString &prefix) const
    {
        return std::any_of(lines.cbegin(), lines.cend(), [&](const QString &l) { return l.startsWith(prefix); });
    }
};

MediaConfig toneMicrophone()
{
    MediaConfig config;
    config.sourceDescription = QStringLiteral("audiotestsrc is-live=true wave=sine volume=0.5");
    return config;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void init() { QSettings(QStringLiteral("TheOrvane"), QStringLiteral("Teams")).clear(); }

    void percentage_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0.8") << 0.8 << "80%";
        QTest::newRow("truncated, not rounded") << 0.999 << "99%";
        QTest::newRow("0.29 is not 28") << 0.29 << "29%";
        QTest::newRow("0.29 in single precision") << double(0.29f) << "29%";
        QTest::newRow("0.57 in single precision") << double(0.57f) << "57%";
        QTest::newRow("full") << 1.0 << "100%";
        QTest::newRow("out of range") << 1.7 << "100%";
        QTest::newRow("not a number") << qQNaN() << "0%";
    }

    void percentage()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(SettingsModel::percentText(value), expected);
    }

    // The page edits the call panel's values and follows the panel's changes (storing them is the manager's test).
    void sharesTheCallPanelsValues()
    {
        AudioSettingsManager audio(nullptr);
        SettingsModel model(&audio, toneMicrophone());
        model.setSpeakerVolume(0.999);
        model.setMicrophoneVolume(0.25);
        model.setEnableMicBeforeCall(false);
        QCOMPARE(audio.outputVolume(), 0.999f);
        QCOMPARE(audio.inputSensitivity(), 0.25f);
        QVERIFY(!audio.micEnabledByDefault());
        QSignalSpy mic(&model, &SettingsModel::microphoneVolumeChanged);
        audio.setInputSensitivity(0.75f);
        QCOMPARE(mic.count(), 1);
        QCOMPARE(model.microphonePercent(), QStringLiteral("75%"));
    }

    void microphoneTest()
    {
        AudioSettingsManager audio(nullptr);
        SettingsModel model(&audio, toneMicrophone());
        DiagnosticLines diagnostics;
        model.startMicTest();
        // The page goes away before the permission answer arrives: the start is dropped.
        model.stopMicTest();
        QSignalSpy testing(&model, &SettingsModel::isTestingChanged);
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QCOMPARE(testing.count(), 0);
        QVERIFY(!model.isTesting());
        QVERIFY(!model.micMonitor()->isRunning());

        // A start that is let through hears the microphone.
        model.toggleMicTest();
        QTRY_VERIFY_WITH_TIMEOUT(model.micLevel() > 0.0f, waitMs);
        QVERIFY(model.isTesting());
        QVERIFY(diagnostics.lines.contains(QStringLiteral("[WebRTC] ✅ Microphone access granted")));
        model.toggleMicTest();
        QVERIFY(!model.micMonitor()->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(model.micLevel(), 0.0f, waitMs);
    }

    void aMicrophoneThatCannotStartLeavesTheTestOff()
    {
        MediaConfig broken;
        broken.sourceDescription = QStringLiteral("audiotestsrc is-live=true ! capsfilter caps=video/x-raw");
        AudioSettingsManager audio(nullptr);
        SettingsModel model(&audio, broken);
        DiagnosticLines diagnostics;
        model.toggleMicTest();
        QTRY_VERIFY_WITH_TIMEOUT(diagnostics.startsWith(QStringLiteral("Failed to start audio engine: ")), waitMs);
        QVERIFY(!model.isTesting());
        QVERIFY(!model.micMonitor()->isRunning());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
