// The people pages' models: friends derived from conversations (search, rows, loads), what the profile page
// shows and how it loads, and the settings page's call values and microphone test. Loads run against the
// reference server on 127.0.0.1.
#include "APIClient.h"
#include "AudioSettingsManager.h"
#include "Diagnostics.h"
#include "FriendsListModel.h"
#include "LanguageManager.h"
#include "MicrophoneMonitor.h"
#include "ProfileModel.h"
#include "ServerConfig.h"
#include "SettingsModel.h"
#include "WebPage.h"

#include "ReferenceServer.h"

#include <QAbstractItemModelTester>
#include <QCoro/QCoroTask>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using OptText = std::optional<QString>;
Q_DECLARE_METATYPE(OptText)

namespace {

Conversation conversation(const QString &id, FriendshipStatus status, std::optional<QString> name,
                          std::optional<QString> lastName = std::nullopt,
                          std::optional<QString> username = std::nullopt, qint64 unread = 0)
{
    Conversation c;
    c.id = QStringLiteral("c-") + id;
    c.participant.id = id;
    c.participant.name = std::move(name);
    c.participant.lastName = std::move(lastName);
    c.participant.username = std::move(username);
    c.unreadCount = unread;
    c.friendshipStatus = status;
    return c;
}

// A mix of every friendship state, in the server's order.
QList<Conversation> sample()
{
    return {
        conversation("u1", FriendshipStatus::Friend, "Анна", "Смирнова", "anna", 3),
        conversation("u2", FriendshipStatus::PendingIncoming, "Emily", "Clarke", "emily"),
        conversation("u3", FriendshipStatus::Friend, "John", "Carter", "jcarter"),
        conversation("u4", FriendshipStatus::PendingOutgoing, "Дмитрий", std::nullopt, "dmitry"),
        conversation("u5", FriendshipStatus::None, "Oliver", "Brown", "oliver"),
        conversation("u6", FriendshipStatus::Friend, std::nullopt, std::nullopt, std::nullopt),
        conversation("u7", FriendshipStatus::Friend, "Борис", "", "boris_i"),
    };
}

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

class TestPeople : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ReferenceServer m_server;
    QString m_token; // the first demo member's session

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        APIClient api(m_server.serverUrl());
        const auto signIn = m_server.demoSignIns().first();
        const auto answer = QCoro::waitFor(api.login(signIn.email, signIn.password));
        QVERIFY(answer.ok() && answer.value().token);
        m_token = *answer.value().token;
    }

    void init()
    {
        QSettings(QStringLiteral("TheOrvane"), QStringLiteral("Teams")).clear();
        LanguageManager::shared().setLanguage(AppLanguage::Ru);
    }

    void search_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty keeps the friends in the server's order") << "" << QStringList{"u1", "u3", "u6", "u7"};
        QTest::newRow("Cyrillic lower case") << "анна" << QStringList{"u1"};
        QTest::newRow("Cyrillic upper case") << "СМИРН" << QStringList{"u1"};
        QTest::newRow("part of the last name") << "carter" << QStringList{"u3"};
        QTest::newRow("first and last name joined") << "n c" << QStringList{"u3"};
        QTest::newRow("user name not in the display name") << "JCART" << QStringList{"u3"};
        QTest::newRow("user name beside a Cyrillic name") << "boris_" << QStringList{"u7"};
        QTest::newRow("no name, no user name") << "unkn" << QStringList{"u6"};
        QTest::newRow("pending members are never found") << "emily" << QStringList{};
        QTest::newRow("not trimmed") << " анна" << QStringList{};
        QTest::newRow("no match") << "zzz" << QStringList{};
    }

    void search()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setConversations(sample());
        model.setSearchText(text);
        QStringList ids;
        for (int row = 0; row < model.rowCount(); ++row)
            ids << model.index(row).data(FriendsListModel::IdRole).toString();
        QCOMPARE(ids, expected);
        QCOMPARE(model.count(), expected.size());
        QCOMPARE(model.state(), expected.isEmpty() ? FriendsListModel::Empty : FriendsListModel::List);
    }

    void rowsAndTheHostsMap()
    {
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QList<Conversation> list = sample();
        list[0].participant.numericId = 42;
        list[0].participant.avatar = QStringLiteral("a.png");
        model.setConversations(list);

        const QModelIndex first = model.index(0);
        QCOMPARE(first.data(FriendsListModel::DisplayNameRole).toString(), QStringLiteral("Анна Смирнова"));
        QCOMPARE(first.data(FriendsListModel::AvatarUrlRole).toUrl(), QUrl(ServerConfig::current().contentURL + "a.png"));
        const QModelIndex unknown = model.index(2);
        QCOMPARE(unknown.data(FriendsListModel::HasUsernameRole).toBool(), false);
        QVERIFY(!unknown.data(FriendsListModel::UsernameRole).isValid());

        const QVariantMap map = model.friendAt(0);
        QCOMPARE(map.value("numericId").toLongLong(), 42);
        QCOMPARE(map.value("lastName").toString(), QStringLiteral("Смирнова"));
        QCOMPARE(map.value("unreadCount").toLongLong(), 3);
        QCOMPARE(map.value("username").toString(), QStringLiteral("anna"));
        // Absent fields stay absent rather than turning into empty strings.
        QVERIFY(!model.friendAt(2).contains("username"));
        QVERIFY(!model.friendAt(2).contains("name"));
        QVERIFY(model.friendAt(99).isEmpty());
    }

    // A refused first load is shown; a cancelled load writes nothing; a refused reload keeps the list silently.
    void loadFailuresAndCancel()
    {
        APIClient api(m_server.serverUrl());
        FriendsListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setApiClient(&api);
        QString token = QStringLiteral("not-a-session");
        model.setTokenProvider([&token] { return std::optional<QString>(token); });
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.state(), FriendsListModel::Error);
        QVERIFY(!model.errorMessage().isEmpty());

        token = m_token;
        auto cancelled = model.loadConversations(true);
        model.cancel();
        QVERIFY(!model.isLoading());
        QCoro::waitFor(std::move(cancelled));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.state(), FriendsListModel::Empty);

        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.rowCount(), 4);
        token = QStringLiteral("not-a-session");
        QCoro::waitFor(model.loadConversations(true));
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.state(), FriendsListModel::List);
        QCOMPARE(model.errorMessage(), QString());
        QVERIFY(!model.isLoading());
    }

    // What the page shows of a profile: the name line and the table's six values.
    void shownProfile_data()
    {
        QTest::addColumn<OptText>("name");
        QTest::addColumn<OptText>("lastName");
        QTest::addColumn<OptText>("city");
        QTest::addColumn<OptText>("birthDate");
        QTest::addColumn<OptText>("gender");
        QTest::addColumn<QString>("nameLine");
        QTest::addColumn<QStringList>("table");
        const QString email = "anna@example.com";
        QTest::newRow("all present") << OptText("Анна") << OptText("Смирнова") << OptText("Москва") << OptText("1990-12-05")
                                     << OptText("male") << "Анна Смирнова"
                                     << QStringList{email, "Анна", "Смирнова", "Москва", "5 декабря 1990 г.", "Мужской"};
        QTest::newRow("absent values") << OptText("Анна") << OptText() << OptText() << OptText() << OptText() << "Анна"
                                       << QStringList{email, "Анна", "-", "-", "-", "-"};
        QTest::newRow("empty last name keeps the space; female, other genitive")
            << OptText("Анна") << OptText("") << OptText("Казань") << OptText("1995-02-09") << OptText("female") << "Анна "
            << QStringList{email, "Анна", "", "Казань", "9 февраля 1995 г.", "Женский"};
        QTest::newRow("no name shows the e-mail; unparsable date and unknown gender as sent")
            << OptText() << OptText("Смирнова") << OptText("Dublin") << OptText("05.12.1990") << OptText("Male") << email
            << QStringList{email, "-", "Смирнова", "Dublin", "05.12.1990", "Male"};
    }

    void shownProfile()
    {
        QFETCH(OptText, name);
        QFETCH(OptText, lastName);
        QFETCH(OptText, city);
        QFETCH(OptText, birthDate);
        QFETCH(OptText, gender);
        QFETCH(QString, nameLine);
        QFETCH(QStringList, table);
        UserProfile p;
        p.email = QStringLiteral("anna@example.com");
        p.name = name;
        p.lastName = lastName;
        p.city = city;
        p.birthDate = birthDate;
        p.gender = gender;
        QCOMPARE(ProfileModel::nameLine(p), nameLine);
        // No weekday in the birth date, whatever the platform's long format would add.
        QStringList shown;
        for (const auto &tableRow : ProfileModel::tableRows(p))
            shown << tableRow.value;
        QCOMPARE(shown, table);
    }

    void websiteAddress_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "https://theorvane.example" << "anna" << "https://theorvane.example/anna";
        QTest::newRow("base with slash") << "https://theorvane.example/" << "anna" << "https://theorvane.example/anna";
        QTest::newRow("path tricks stay one segment")
            << "https://theorvane.example" << "../admin?x=1#top" << "https://theorvane.example/..%2Fadmin%3Fx%3D1%23top";
        QTest::newRow("another host cannot be reached")
            << "https://theorvane.example" << "@evil.example" << "https://theorvane.example/%40evil.example";
        QTest::newRow("Cyrillic user name") << "https://theorvane.example" << "анна"
                                            << "https://theorvane.example/%D0%B0%D0%BD%D0%BD%D0%B0";
        QTest::newRow("empty user name: no page") << "https://theorvane.example" << "" << "";
        QTest::newRow("no site configured") << "" << "anna" << "";
    }

    void websiteAddress()
    {
        QFETCH(QString, base);
        QFETCH(QString, username);
        QFETCH(QString, expected);
        const QUrl url = WebPage::memberPageUrl(base, username);
        QCOMPARE(url.toString(QUrl::FullyEncoded), expected);
        QCOMPARE(url.isValid(), !expected.isEmpty());
    }

    void showsTheSignedInMemberThenKeepsItBehindAnError()
    {
        APIClient api(m_server.serverUrl());
        const auto signIn = m_server.demoSignIns().first();
        const QString token = m_token;
        ProfileModel model;
        model.setApiClient(&api);
        model.setTokenProvider([token] { return std::optional<QString>(token); });
        QCoro::waitFor(model.loadProfile());
        QCOMPARE(model.errorMessage(), QString());
        QCOMPARE(model.profile()->email, signIn.email);
        QCOMPARE(model.nameLine(), signIn.name);
        QVERIFY(model.avatarURL().isValid());

        // The member's page on the site.
        QVERIFY(model.openWebsite());
        QCOMPARE(WebPage::shared().lastOpenedUrl(),
                 QUrl(QStringLiteral("https://web.theorvane.example/") + model.username()));

        // A refused request shows the server's reason; the profile is kept for the next success.
        model.setTokenProvider([] { return std::optional<QString>(QStringLiteral("not-a-session")); });
        QCoro::waitFor(model.loadProfile());
        QVERIFY(!model.errorMessage().isEmpty());
        QVERIFY(model.hasProfile());

        // Two overlapping loads: loading ends only when both have answered.
        model.setTokenProvider([token] { return std::optional<QString>(token); });
        auto first = model.loadProfile();
        auto second = model.loadProfile();
        QCoro::waitFor(std::move(first));
        QCoro::waitFor(std::move(second));
        QVERIFY(!model.isLoading());
        QCOMPARE(model.errorMessage(), QString());
    }

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

QTEST_MAIN(TestPeople)
#include "tst_people.moc"
