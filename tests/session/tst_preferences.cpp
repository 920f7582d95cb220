#include "AppPalette.h"
#include "LanguageManager.h"
#include "Preferences.h"
#include "ThemeManager.h"

#include <QGuiApplication>
#include <QPalette>
#include <QQuickWindow>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

// Language and theme preferences as a member meets them: first start, values left by older
// versions or by hand, and changes from the switchers.
class TestPreferences : public QObject
{
    Q_OBJECT

    static QSettings settings() { return QSettings(QStringLiteral("TheOrvane"), QStringLiteral("Teams")); }

private slots:
    void init()
    {
        auto s = settings();
        s.clear();
        s.sync();
    }

    void languageStoredValues_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("storedAfter");
        QTest::newRow("first start writes Russian") << QVariant() << "ru" << "ru";
        QTest::newRow("en") << QVariant("en") << "en" << "en";
        QTest::newRow("ru") << QVariant("ru") << "ru" << "ru";
        QTest::newRow("unknown code") << QVariant("de") << "ru" << "ru";
        QTest::newRow("empty string") << QVariant("") << "ru" << "ru";
        QTest::newRow("wrong case") << QVariant("EN") << "ru" << "ru";
        QTest::newRow("not a string") << QVariant(42) << "ru" << "ru";
    }

    void languageStoredValues()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        QFETCH(QString, storedAfter);
        if (stored.isValid())
            Preferences::setValue("appLanguage", stored);
        LanguageManager manager(nullptr);
        QCOMPARE(manager.languageCode(), expected);
        QCOMPARE(settings().value("appLanguage").toString(), storedAfter);
    }

    void languageChangePersistsAndNotifies()
    {
        LanguageManager manager(nullptr);
        QSignalSpy spy(&manager, &LanguageManager::languageChanged);
        manager.setLanguageCode("en");
        QCOMPARE(spy.count(), 1);
        QVERIFY(manager.isEnglish());
        QCOMPARE(settings().value("appLanguage").toString(), "en");
        QCOMPARE(manager.text("Вход", "Sign In"), "Sign In");

        manager.setLanguageCode("fr"); // ignored
        QCOMPARE(manager.languageCode(), "en");
        QCOMPARE(spy.count(), 1);

        manager.setLanguage(AppLanguage::Ru);
        QCOMPARE(spy.count(), 2);
        QCOMPARE(manager.text("Вход", "Sign In"), "Вход");
        QCOMPARE(LanguageManager(nullptr).languageCode(), "ru"); // a new run reads it back
    }

    void themeStoredValues_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("absent") << QVariant() << "light";
        QTest::newRow("dark") << QVariant("dark") << "dark";
        QTest::newRow("light") << QVariant("light") << "light";
        QTest::newRow("system") << QVariant("system") << "light";
        QTest::newRow("Dark in capitals") << QVariant("Dark") << "light";
    }

    void themeStoredValues()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        if (stored.isValid())
            Preferences::setValue("themeMode", stored);
        ThemeManager manager(nullptr);
        QCOMPARE(manager.modeCode(), expected);
        QCOMPARE(manager.isDark(), expected == "dark");
        // Start never writes: an unknown value stays as it was, nothing appears when absent.
        QCOMPARE(settings().value("themeMode"), stored.isValid() ? QVariant(stored.toString()) : QVariant());
    }

    void themeChangeAppliesLaterAndPersists()
    {
        QQuickWindow window;
        window.show();
        ThemeManager manager(nullptr);
        QCoreApplication::processEvents();
        QSignalSpy darkSpy(&manager, &ThemeManager::isDarkChanged);

        manager.setModeCode("dark");
        QCOMPARE(manager.modeCode(), "dark");
        QCOMPARE(settings().value("themeMode").toString(), "dark");
        // isDark follows in a later turn of the event loop, together with the windows.
        QVERIFY(!manager.isDark());
        QVERIFY(darkSpy.wait());
        QVERIFY(manager.isDark());
        QCOMPARE(window.color(), AppPalette::dark().background);
        QCOMPARE(QGuiApplication::palette().color(QPalette::Window), AppPalette::dark().background);

        manager.setModeCode("sepia"); // ignored
        QCOMPARE(manager.modeCode(), "dark");
        manager.setMode(ThemeMode::Light);
        QVERIFY(darkSpy.wait());
        QVERIFY(!manager.isDark());
        QCOMPARE(window.color(), AppPalette::light().background);
    }

    // Every colour of both sets is opaque and set.
    void palettesAreOpaque()
    {
        for (const AppPalette *p : {&AppPalette::light(), &AppPalette::dark()}) {
            const QMetaObject &mo = AppPalette::staticMetaObject;
            for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
                const QVariant v = mo.property(i).readOnGadget(p);
                if (v.typeId() == QMetaType::QColor)
                    QVERIFY2(v.value<QColor>().isValid() && v.value<QColor>().alpha() == 255, mo.property(i).name());
            }
        }
    }

    void strictBooleans_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("absent") << QVariant() << true;
        QTest::newRow("true") << QVariant(true) << true;
        QTest::newRow("false") << QVariant(false) << false;
        QTest::newRow("false text") << QVariant("false") << false;
        QTest::newRow("garbage") << QVariant("maybe") << true;
    }

    void strictBooleans()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, expected);
        if (stored.isValid())
            Preferences::setValue("enableMicBeforeCall", stored);
        QCOMPARE(Preferences::boolValue("enableMicBeforeCall", true), expected);
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
