// Candidate dictionaries and the names and numbers of the connection states.
#include "WebRTCManager.h"

#include <QtTest>

using Candidate = WebRTCManager::IceCandidate;

class TestWebRTCConversions : public QObject
{
    Q_OBJECT

private slots:
    void candidateRoundTrip()
    {
        const Candidate c{QStringLiteral("candidate:1 1 UDP 2015363327 127.0.0.1 40000 typ host"),
                          QStringLiteral("audio0"), 0};
        // The keys are those dictToCandidate reads (its table below).
        const QVariantMap dict = WebRTCManager::iceCandidateToDict(c);
        QCOMPARE(dict.value(QStringLiteral("sdpMLineIndex")).typeId(), int(QMetaType::Int));
        QCOMPARE(WebRTCManager::dictToIceCandidate(dict), std::optional<Candidate>(c));

        // No media id is written as "", which reads back as an empty id.
        const QVariantMap noMid = WebRTCManager::iceCandidateToDict({c.candidate, std::nullopt, 2});
        QCOMPARE(noMid.value(QStringLiteral("sdpMid")), QVariant(QString()));
        QCOMPARE(noMid.value(QStringLiteral("sdpMLineIndex")).toInt(), 2);

        // What the call manager hands over: a JSON object from the server, written back unchanged.
        const QJsonObject json = QJsonObject::fromVariantMap(dict);
        QCOMPARE(QJsonObject::fromVariantMap(WebRTCManager::iceCandidateToDict(
                     *WebRTCManager::dictToIceCandidate(json.toVariantMap()))), json);
    }

    void dictToCandidate_data()
    {
        QTest::addColumn<QVariantMap>("dict");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QVariant>("mid");   // invalid QVariant = absent
        QTest::addColumn<int>("index");

        const QString line = QStringLiteral("candidate:1 1 UDP 1 127.0.0.1 9 typ host");
        QTest::newRow("complete") << QVariantMap{{"candidate", line}, {"sdpMid", "0"}, {"sdpMLineIndex", 1}}
                                  << true << QVariant(QStringLiteral("0")) << 1;
        QTest::newRow("no index reads 0") << QVariantMap{{"candidate", line}, {"sdpMid", "0"}} << true
                                          << QVariant(QStringLiteral("0")) << 0;
        QTest::newRow("JSON whole number") << QVariantMap{{"candidate", line}, {"sdpMLineIndex", 3.0}} << true
                                           << QVariant() << 3;
        QTest::newRow("fraction is no index") << QVariantMap{{"candidate", line}, {"sdpMLineIndex", 2.5}} << true
                                              << QVariant() << 0;
        QTest::newRow("index as text") << QVariantMap{{"candidate", line}, {"sdpMLineIndex", "1"}} << true
                                       << QVariant() << 0;
        QTest::newRow("index beyond 32 bits") << QVariantMap{{"candidate", line}, {"sdpMLineIndex", qint64(1) << 40}}
                                              << true << QVariant() << 0;
        QTest::newRow("negative index") << QVariantMap{{"candidate", line}, {"sdpMLineIndex", -1}} << true
                                        << QVariant() << 0;
        QTest::newRow("mid not text") << QVariantMap{{"candidate", line}, {"sdpMid", 5}} << true << QVariant() << 0;
        QTest::newRow("candidate not text") << QVariantMap{{"candidate", 42}, {"sdpMid", "0"}} << false << QVariant()
                                            << 0;
        QTest::newRow("candidate missing") << QVariantMap{{"sdpMid", "0"}, {"sdpMLineIndex", 0}} << false
                                           << QVariant() << 0;
    }

    void dictToCandidate()
    {
        QFETCH(QVariantMap, dict);
        QFETCH(bool, valid);
        QFETCH(QVariant, mid);
        QFETCH(int, index);
        const auto candidate = WebRTCManager::dictToIceCandidate(dict);
        QCOMPARE(candidate.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(candidate->sdpMid.has_value(), mid.isValid());
        if (mid.isValid())
            QCOMPARE(*candidate->sdpMid, mid.toString());
        QCOMPARE(candidate->sdpMLineIndex, index);
    }

    void numbersOutOfRangeAreUnknown()
    {
        QCOMPARE(WebRTCManager::peerConnectionStateName(2), QStringLiteral("connected"));
        QCOMPARE(WebRTCManager::peerConnectionStateName(-1), QStringLiteral("unknown"));
        QCOMPARE(WebRTCManager::peerConnectionStateName(7), QStringLiteral("unknown"));
        QCOMPARE(WebRTCManager::signalingStateName(6), QStringLiteral("unknown"));
        QCOMPARE(WebRTCManager::iceConnectionStateName(8), QStringLiteral("unknown"));
        QCOMPARE(WebRTCManager::iceGatheringStateName(3), QStringLiteral("unknown"));
    }

    // GStreamer numbers its states in its own order; every one of its names maps by name.
    void gstreamerNamesMapByName_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("nick");
        QTest::addColumn<QString>("name");
        const QList<std::pair<const char *, const char *>> signaling{
            {"stable", "stable"}, {"closed", "closed"}, {"have-local-offer", "haveLocalOffer"},
            {"have-remote-offer", "haveRemoteOffer"}, {"have-local-pranswer", "haveLocalPrAnswer"},
            {"have-remote-pranswer", "haveRemotePrAnswer"}};
        for (const auto &[nick, name] : signaling)
            QTest::addRow("signaling %s", nick) << 0 << QString::fromLatin1(nick) << QString::fromLatin1(name);
        for (const char *nick : {"new", "checking", "connected", "completed", "failed", "disconnected", "closed"})
            QTest::addRow("ice %s", nick) << 1 << QString::fromLatin1(nick) << QString::fromLatin1(nick);
        for (const char *nick : {"new", "gathering", "complete"})
            QTest::addRow("gathering %s", nick) << 2 << QString::fromLatin1(nick) << QString::fromLatin1(nick);
        for (const char *nick : {"new", "connecting", "connected", "disconnected", "failed", "closed"})
            QTest::addRow("peer %s", nick) << 3 << QString::fromLatin1(nick) << QString::fromLatin1(nick);
        QTest::addRow("unknown nick") << 0 << QStringLiteral("rolled-back") << QStringLiteral("unknown");
    }

    void gstreamerNamesMapByName()
    {
        QFETCH(int, kind);
        QFETCH(QString, nick);
        QFETCH(QString, name);
        switch (kind) {
        case 0:
            QCOMPARE(WebRTCManager::signalingStateName(WebRTCManager::signalingStateFromNick(nick)), name);
            break;
        case 1:
            QCOMPARE(WebRTCManager::iceConnectionStateName(WebRTCManager::iceConnectionStateFromNick(nick)), name);
            break;
        case 2:
            QCOMPARE(WebRTCManager::iceGatheringStateName(WebRTCManager::iceGatheringStateFromNick(nick)), name);
            break;
        default:
            QCOMPARE(WebRTCManager::peerConnectionStateName(WebRTCManager::peerConnectionStateFromNick(nick)), name);
        }
    }
};

QTEST_GUILESS_MAIN(TestWebRTCConversions)
#include "tst_webrtcconversions.moc"
