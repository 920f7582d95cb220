// Device choice on the test session's sound server: "mic" / "speaker" are the defaults, "mic2"
// hears whatever plays into "cable2". The call itself on chosen devices is a row of tst_callfaults.
#include "AudioDeviceModel.h"
#include "MicrophoneMonitor.h"
#include "CallTest.h"

#include <QAbstractItemModelTester>
#include <QProcess>
#include <QtTest>

#include <canberra.h>
#include <gst/gst.h>

namespace {

constexpr int Wait = 10000;

QString pactl(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished() || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QStringList names(const AudioDeviceModel &model)
{
    QStringList result;
    for (int row = 0; row < model.rowCount(); ++row)
        result << model.index(row).data(AudioDeviceModel::NameRole).toString();
    return result;
}

} // namespace

class TestAudioDevices : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sources")}).contains("mic2"))
            QSKIP("no second set of virtual devices (run under scripts/with-test-env)");
        gst_init(nullptr, nullptr);
    }

    void listsDevicesAndFollowsHotPlug()
    {
        AudioDeviceModel microphones, speakers;
        speakers.setKind(AudioDeviceModel::Speaker);
        QAbstractItemModelTester microphoneTester(&microphones), speakerTester(&speakers);
        microphones.setActive(true);
        speakers.setActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(microphones.isLoaded() && speakers.isLoaded(), Wait);
        // The default first; an output's loop-back is no microphone.
        QCOMPARE(names(microphones).first(), QString());
        QVERIFY(names(microphones).contains("mic2") && !names(microphones).contains("cable2.monitor"));
        QVERIFY(names(speakers).contains("speaker2"));

        const QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                      QStringLiteral("sink_name=speaker3")});
        QVERIFY(!module.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(speakers.indexOf("speaker3") > 0, Wait);
        // Several "Null Output"s: the name tells them apart.
        QCOMPARE(speakers.index(speakers.indexOf("speaker3")).data(AudioDeviceModel::DisplayNameRole).toString(),
                 QStringLiteral("Null Output (speaker3)"));
        pactl({QStringLiteral("unload-module"), module});
        QTRY_COMPARE_WITH_TIMEOUT(speakers.indexOf("speaker3"), -1, Wait);

        // Hidden choosers watch nothing: a device plugged in meanwhile shows at the next look.
        speakers.setActive(false);
        const QString again = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                     QStringLiteral("sink_name=speaker4")});
        QTest::qWait(300);
        QCOMPARE(speakers.indexOf("speaker4"), -1);
        speakers.setActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(speakers.indexOf("speaker4") > 0, Wait);
        pactl({QStringLiteral("unload-module"), again});
    }

    // The microphone test hears the chosen device, moves to a new choice while it runs, and falls
    // back to the default (silent here) for a device that is not there, whatever its name holds.
    void monitorHearsTheChosenMicrophone_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("whileRunning");
        QTest::addColumn<bool>("hearsTone");
        QTest::newRow("default") << QString() << false << false;
        QTest::newRow("mic2") << QStringLiteral("mic2") << false << true;
        QTest::newRow("mic2 while running") << QStringLiteral("mic2") << true << true;
        QTest::newRow("gone") << QStringLiteral("gone") << false << false;
        QTest::newRow("gone while running") << QStringLiteral("gone") << true << false;
        QTest::newRow("launch syntax") << QStringLiteral("mic2\" ! fakesrc ! fakesink") << false << false;
    }

    void monitorHearsTheChosenMicrophone()
    {
        QFETCH(QString, device);
        QFETCH(bool, whileRunning);
        QFETCH(bool, hearsTone);
        AudioProbe tone;
        QVERIFY(tone.play(
            QStringLiteral("audiotestsrc is-live=true wave=sine freq=440 volume=0.3 ! pulsesink device=cable2")));

        CallTest::DiagnosticLines output;
        MicrophoneMonitor monitor(MediaConfig::fromEnvironment());
        if (!whileRunning)
            monitor.setDevice(device);
        monitor.startMonitoring();
        QVERIFY(monitor.isRunning());
        if (whileRunning)
            monitor.setDevice(device);
        if (hearsTone)
            QTRY_VERIFY_WITH_TIMEOUT(monitor.level() > 0.5f, Wait);
        else
            QTest::qWait(1000);
        QVERIFY(monitor.isRunning());
        QCOMPARE(monitor.level() > 0.5f, hearsTone);
        const bool missing = !device.isEmpty() && !hearsTone;
        QCOMPARE(output.count(QStringLiteral("[Audio] Microphone \"%1\" not found, using the system default").arg(device)),
                 missing ? 1 : 0);
    }

    // The ringtone plays on the chosen speaker, or on the default one when that is gone.
    void ringSoundPlaysOnTheChosenSpeaker_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("sink");
        QTest::newRow("default") << QString() << QStringLiteral("speaker");
        QTest::newRow("speaker2") << QStringLiteral("speaker2") << QStringLiteral("speaker2");
        QTest::newRow("gone") << QStringLiteral("gone") << QStringLiteral("speaker");
    }

    void ringSoundPlaysOnTheChosenSpeaker()
    {
        QFETCH(QString, device);
        QFETCH(QString, sink);
        ca_context *context = nullptr;
        QCOMPARE(ca_context_create(&context), CA_SUCCESS);
        auto destroy = qScopeGuard([context] { ca_context_destroy(context); });
        CallTest::DiagnosticLines output;
        MediaConfig::playSound(context, device, "phone-incoming-call");
        // "index<TAB>sink index<TAB>..." for the stream, and the sinks' "index<TAB>name<TAB>...".
        const QString stream = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
        const QString sinks = pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
        QVERIFY2(sinks.contains(stream.section(u'\t', 1, 1) + u'\t' + sink + u'\t'), qPrintable(stream + "\n" + sinks));
        QCOMPARE(output.count(QStringLiteral("[Audio] Speaker \"gone\" not found, using the system default")),
                 device == QLatin1String("gone") ? 1 : 0);
    }

    // Last, so the application ends with the released watch still starting: quitting then hung.
    void quitRightAfterAChooserCloses()
    {
        AudioDeviceModel chooser;
        chooser.setActive(true);
        chooser.setActive(false);
    }
};

QTEST_GUILESS_MAIN(TestAudioDevices)
#include "tst_audiodevices.moc"
