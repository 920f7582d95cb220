#include "AppPalette.h"
#include "ColorFromHex.h"
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
// versions or by hand, and changes from the switchers; the colours of both themes.
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

    // What a start reads from values left by older versions or by hand, and what it leaves stored.
    void storedValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("read"); // themes: mode/look
        QTest::addColumn<QString>("storedAfter");
        const QString language = "appLanguage", theme = "themeMode", flag = "enableMicBeforeCall";
        QTest::newRow("language: first start writes Russian") << language << QVariant() << "ru" << "ru";
        QTest::newRow("language: en") << language << QVariant("en") << "en" << "en";
        QTest::newRow("language: unknown code") << language << QVariant("de") << "ru" << "ru";
        QTest::newRow("language: empty") << language << QVariant("") << "ru" << "ru";
        QTest::newRow("language: wrong case") << language << QVariant("EN") << "ru" << "ru";
        QTest::newRow("language: not a string") << language << QVariant(42) << "ru" << "ru";
        // A start never writes the theme: an unknown value stays as it was, nothing appears when absent.
        QTest::newRow("theme: absent") << theme << QVariant() << "light/light" << "";
        QTest::newRow("theme: dark") << theme << QVariant("dark") << "dark/dark" << "dark";
        QTest::newRow("theme: system") << theme << QVariant("system") << "light/light" << "system";
        QTest::newRow("theme: Dark in capitals") << theme << QVariant("Dark") << "light/light" << "Dark";
        QTest::newRow("flag: absent") << flag << QVariant() << "true" << "";
        QTest::newRow("flag: false") << flag << QVariant(false) << "false" << "false";
        QTest::newRow("flag: false as text") << flag << QVariant("false") << "false" << "false";
        QTest::newRow("flag: garbage") << flag << QVariant("maybe") << "true" << "maybe";
    }

    void storedValues()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, read);
        QFETCH(QString, storedAfter);
        if (stored.isValid())
            Preferences::setValue(key, stored);
        if (key == "appLanguage") {
            QCOMPARE(LanguageManager(nullptr).languageCode(), read);
        } else if (key == "themeMode") {
            const ThemeManager manager(nullptr);
            QCOMPARE(manager.modeCode() + (manager.isDark() ? "/dark" : "/light"), read);
        } else {
            QCOMPARE(QString(Preferences::boolValue(key, true) ? "true" : "false"), read);
        }
        QCOMPARE(settings().value(key).toString(), storedAfter);
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

    void colorFromHex_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QColor>("expected");

        QTest::newRow("six digits") << "FCD34D" << QColor(0xfc, 0xd3, 0x4d);
        QTest::newRow("leading hash trimmed") << "#FCD34D" << QColor(0xfc, 0xd3, 0x4d);
        QTest::newRow("three digits") << "F00" << QColor(255, 0, 0);
        QTest::newRow("eight digits alpha first") << "80FF0000" << QColor(255, 0, 0, 128);
        QTest::newRow("five digits is black") << "12345" << QColor(0, 0, 0);
        QTest::newRow("spaces around") << "  3b82f6  " << QColor(0x3b, 0x82, 0xf6);
        QTest::newRow("empty") << "" << QColor(0, 0, 0);
        // Inner characters stay and count for the length; digits are read only as far as they go.
        QTest::newRow("inner garbage stops the number") << "FFzz00" << QColor(0, 0, 0xff);
        QTest::newRow("non-hex letters read as zero") << "GGGGGG" << QColor(0, 0, 0);
        QTest::newRow("trailing punctuation") << "ef4444;" << QColor(0xef, 0x44, 0x44);
        QTest::newRow("long string is black") << "FFFFFFFFFFFFFFFFFFFFFFFF" << QColor(0, 0, 0);
        // Three characters (the mark joins the b), and the digits stop at the mark: 0xab.
        QTest::newRow("combining mark counts once") << QStringLiteral("ab\u0301c") << QColor(0, 0xaa, 0xbb);
    }

    void colorFromHex()
    {
        QFETCH(QString, hex);
        QFETCH(QColor, expected);
        const QColor c = ::colorFromHex(hex);
        QCOMPARE(c.rgba(), expected.rgba());
        // sRGB components, not another colour model that happens to round to the same value.
        QCOMPARE(c, QColor::fromRgba(expected.rgba()));
    }
};

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
