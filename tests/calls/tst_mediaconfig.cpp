// STUN list and ICE pin from the environment; no name here is looked up on the network.
#include "MediaConfig.h"

#include <QtTest>

class TestMediaConfig : public QObject
{
    Q_OBJECT

private slots:
    void environment()
    {
        qputenv("THEORVANE_STUN_SERVERS", "");
        qputenv("THEORVANE_ICE_ADDRESS", " 127.0.0.1 ");
        MediaConfig config = MediaConfig::fromEnvironment();
        QVERIFY(config.stunServers.isEmpty());
        QCOMPARE(config.iceAddress, QStringLiteral("127.0.0.1"));
        QVERIFY(config.resolveStunServer().isEmpty());
        QCOMPARE(config.sourceDescription, QStringLiteral("pulsesrc"));
        QCOMPARE(config.sinkDescription, QStringLiteral("pulsesink"));

        qputenv("THEORVANE_STUN_SERVERS", "a.example:1, b.example:2 c.example:3");
        QCOMPARE(MediaConfig::fromEnvironment().stunServers,
                 (QStringList{"a.example:1", "b.example:2", "c.example:3"}));

        qunsetenv("THEORVANE_STUN_SERVERS");
        config = MediaConfig::fromEnvironment();
        QCOMPARE(config.stunServers, MediaConfig::defaultStunServers());
        QVERIFY(!config.stunServers.isEmpty());
        qputenv("THEORVANE_STUN_SERVERS", "");
    }

    void parse_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("plain") << "stun.example.org:3478" << "stun.example.org" << 3478;
        QTest::newRow("w3c form") << "stun:stun.example.org:19302" << "stun.example.org" << 19302;
        QTest::newRow("gstreamer form") << "stun://10.0.0.1:3478" << "10.0.0.1" << 3478;
        QTest::newRow("ipv6") << "stun:[::1]:3478" << "::1" << 3478;
        QTest::newRow("no port") << "stun.example.org" << "" << 0;
        QTest::newRow("port zero") << "host:0" << "" << 0;
        QTest::newRow("port too large") << "host:70000" << "" << 0;
        QTest::newRow("not a number") << "host:abc" << "" << 0;
        QTest::newRow("empty") << "" << "" << 0;
        QTest::newRow("path") << "stun://host/x:3478" << "" << 0;
    }

    void parse()
    {
        QFETCH(QString, entry);
        QFETCH(QString, host);
        QFETCH(int, port);
        const auto parsed = MediaConfig::parseStunServer(entry);
        QCOMPARE(parsed.first, host);
        QCOMPARE(int(parsed.second), host.isEmpty() ? 0 : port);
    }

    void firstUsableServerWins()
    {
        MediaConfig config;
        // Unusable entries are skipped without a lookup; the first that resolves is used, in the
        // form webrtcbin accepts (it ignores "stun:" silently).
        config.stunServers = {QStringLiteral("no-port"), QStringLiteral("stun:127.0.0.1:3478"),
                              QStringLiteral("localhost:9")};
        QCOMPARE(config.resolveStunServer(), QStringLiteral("stun://127.0.0.1:3478"));
    }

    void testSources()
    {
        MediaConfig config;
        QVERIFY(!config.usesTestSource());
        config.sourceDescription = QStringLiteral(" audiotestsrc is-live=true wave=sine freq=440");
        QVERIFY(config.usesTestSource());
        config.sourceDescription = QStringLiteral("pulsesrc device=mic ! audiotestsrc");
        QVERIFY(!config.usesTestSource());
    }
};

QTEST_GUILESS_MAIN(TestMediaConfig)
#include "tst_mediaconfig.moc"
