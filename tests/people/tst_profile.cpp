// What the profile page shows of a profile, and how it loads one.
#include "APIClient.h"
#include "LanguageManager.h"
#include "ProfileModel.h"
#include "WebPage.h"

#include "ReferenceServer.h"

#include <QCoro/QCoroTask>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using OptText = std::optional<QString>;
Q_DECLARE_METATYPE(OptText)

namespace {

UserProfile profile(OptText name, OptText lastName, OptText username = std::nullopt)
{
    UserProfile p;
    p.id = QStringLiteral("u1");
    p.email = QStringLiteral("anna@example.com");
    p.name = std::move(name);
    p.lastName = std::move(lastName);
    p.username = std::move(username);
    return p;
}

QStringList values(const QList<ProfileModel::TableRow> &rows)
{
    QStringList result;
    for (const auto &row : rows)
        result << row.value;
    return result;
}

} // namespace

class TestProfile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;
    ReferenceServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    }

    void init() { LanguageManager::shared().setLanguage(AppLanguage::Ru); }

    void nameLine_data()
    {
        QTest::addColumn<OptText>("name");
        QTest::addColumn<OptText>("lastName");
        QTest::addColumn<QString>("expected");
        QTest::newRow("both") << OptText("Анна") << OptText("Смирнова") << "Анна Смирнова";
        QTest::newRow("no last name") << OptText("Анна") << OptText() << "Анна";
        QTest::newRow("empty last name keeps the space") << OptText("Анна") << OptText("") << "Анна ";
        QTest::newRow("no name shows the e-mail") << OptText() << OptText("Смирнова") << "anna@example.com";
    }

    void nameLine()
    {
        QFETCH(OptText, name);
        QFETCH(OptText, lastName);
        QFETCH(QString, expected);
        QCOMPARE(ProfileModel::nameLine(profile(name, lastName)), expected);
    }

    void table_data()
    {
        QTest::addColumn<OptText>("city");
        QTest::addColumn<OptText>("birthDate");
        QTest::addColumn<OptText>("gender");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("all present") << OptText("Москва") << OptText("1990-12-05") << OptText("male")
                                     << QStringList{"Москва", "5 декабря 1990 г.", "Мужской"};
        QTest::newRow("absent values") << OptText() << OptText() << OptText() << QStringList{"-", "-", "-"};
        QTest::newRow("female, other genitive") << OptText("Казань") << OptText("1995-02-09") << OptText("female")
                                                << QStringList{"Казань", "9 февраля 1995 г.", "Женский"};
        QTest::newRow("unparsable date and unknown gender as sent")
            << OptText("Dublin") << OptText("05.12.1990") << OptText("Male")
            << QStringList{"Dublin", "05.12.1990", "Male"};
    }

    void table()
    {
        QFETCH(OptText, city);
        QFETCH(OptText, birthDate);
        QFETCH(OptText, gender);
        QFETCH(QStringList, expected);
        UserProfile p = profile("Анна", std::nullopt);
        p.city = city;
        p.birthDate = birthDate;
        p.gender = gender;
        const auto rows = ProfileModel::tableRows(p);
        QCOMPARE(rows.size(), 6);
        // E-mail is always filled; an absent last name shows "-".
        QCOMPARE(values(rows).mid(0, 3), (QStringList{"anna@example.com", "Анна", "-"}));
        QCOMPARE(values(rows).mid(3), expected);
        // No weekday in the birth date, whatever the platform's long format would add.
        QVERIFY(!values(rows).at(4).contains(QLatin1Char(',')));
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
        const auto answer = QCoro::waitFor(api.login(signIn.email, signIn.password));
        QVERIFY(answer.ok() && answer.value().token);
        const QString token = *answer.value().token;

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
};

QTEST_MAIN(TestProfile)
#include "tst_profile.moc"
