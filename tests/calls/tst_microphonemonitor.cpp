// The microphone test's meter, fed by a real capture pipeline with a test tone of known RMS.
#include "MicrophoneMonitor.h"
#include "CallTest.h"

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
    // The meter's drawing is checked in the QML test.
    void levelFromCapture_data()
    {
        QTest::addColumn<double>("rms");
        QTest::addColumn<double>("level");
        QTest::newRow("rms 0.1") << 0.1 << 0.5;
        QTest::newRow("rms 0.5 caps at 1") << 0.5 << 1.0;
        QTest::newRow("rms 0.02") << 0.02 << 0.1;
    }

    void levelFromCapture()
    {
        QFETCH(double, rms);
        QFETCH(double, level);
        MicrophoneMonitor monitor(toneOfRms(rms));
        monitor.startMonitoring();
        QVERIFY(monitor.isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(monitor.level() - level) < 0.001, Wait);
        monitor.stopMonitoring();
    }

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

    void failedStartStaysStopped_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("no such element") << QStringLiteral("nosuchaudiosource");
        QTest::newRow("no such device") << QStringLiteral("pulsesrc device=no-such-device-anywhere");
    }

    void failedStartStaysStopped()
    {
        QFETCH(QString, source);
        MediaConfig config;
        config.sourceDescription = source;
        MicrophoneMonitor monitor(config);
        CallTest::DiagnosticLines output;
        monitor.startMonitoring();
        // A device may fail only once the capture has begun: the monitor stops itself then.
        QTRY_VERIFY_WITH_TIMEOUT(!monitor.isRunning(), Wait);
        QCOMPARE(monitor.level(), 0.0f);
        QCOMPARE(output.lines().filter(QStringLiteral("Failed to start audio engine: ")).size(), 1);
    }

    // The meter's bars are tested with the meter (MicrophoneLevelIndicator).
    void levelOfSilence()
    {
        QCOMPARE(MicrophoneMonitor::levelForRms(0.0), 0.0f);
        QCOMPARE(MicrophoneMonitor::levelForRms(std::nan("")), 0.0f);
    }
};

QTEST_GUILESS_MAIN(TestMicrophoneMonitor)
#include "tst_microphonemonitor.moc"
