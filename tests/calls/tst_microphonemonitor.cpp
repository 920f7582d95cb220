// The microphone test's meter, fed by a real capture pipeline with a test tone of known RMS.
#include "CallTest.h"
#include "MicrophoneMonitor.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int Wait = 15000;

MediaConfig toneOfRms(double rms)
{
    MediaConfig config;
    // A square wave of amplitude A has an RMS of exactly A; 750 Hz fits whole periods in each
    // 1024-frame block.
    config.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=square freq=750 samplesperbuffer=1024 volume=%1").arg(rms);
    return config;
}

} // namespace

class TestMicrophoneMonitor : public QObject
{
    Q_OBJECT

private slots:
    void startTwiceStopTwice()
    {
        MicrophoneMonitor monitor(toneOfRms(0.1));
        QSignalSpy running(&monitor, &MicrophoneMonitor::isRunningChanged);
        monitor.startMonitoring();
        monitor.startMonitoring();
        QCOMPARE(running.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.level() > 0.4f, Wait);

        monitor.stopMonitoring();
        QVERIFY(!monitor.isRunning());
        // Levels measured before the stop may still be queued; the meter ends at zero.
        QTRY_COMPARE_WITH_TIMEOUT(monitor.level(), 0.0f, Wait);
        QTest::qWait(50);
        QCOMPARE(monitor.level(), 0.0f);
        monitor.stopMonitoring();
        QCOMPARE(running.size(), 2);

        // A later start works again.
        monitor.startMonitoring();
        QTRY_VERIFY_WITH_TIMEOUT(monitor.level() > 0.4f, Wait);
    }

    // (A device that fails once the capture has begun is the settings page's microphone test.)
    void failedStartStaysStopped()
    {
        MediaConfig config;
        config.sourceDescription = QStringLiteral("nosuchaudiosource");
        MicrophoneMonitor monitor(config);
        CallTest::DiagnosticLines output;
        monitor.startMonitoring();
        QTRY_VERIFY_WITH_TIMEOUT(!monitor.isRunning(), Wait);
        QCOMPARE(monitor.level(), 0.0f);
        QCOMPARE(output.lines().filter(QStringLiteral("Failed to start audio engine: ")).size(), 1);
    }

    // What a capture measures, and rms 0.1, are checked through the meter of the audio settings panel.
    void levelForRms_data()
    {
        QTest::addColumn<double>("rms");
        QTest::addColumn<float>("level");
        QTest::newRow("silence") << 0.0 << 0.0f;
        QTest::newRow("not a number") << std::nan("") << 0.0f;
        QTest::newRow("rms 0.02") << 0.02 << 0.1f;
        QTest::newRow("rms 0.5 caps at 1") << 0.5 << 1.0f;
    }

    void levelForRms()
    {
        QFETCH(double, rms);
        QFETCH(float, level);
        QVERIFY(std::abs(MicrophoneMonitor::levelForRms(rms) - level) < 0.001f);
    }
};

QTEST_GUILESS_MAIN(TestMicrophoneMonitor)
#include "tst_microphonemonitor.moc"
