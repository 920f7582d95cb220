import QtQuick
import QtTest
import Orvane.Session
import Orvane.Ui

Item {
    id: root
    width: 400
    height: 320

    LanguageSwitcher { id: languageSwitcher; y: 0 }
    ThemeSwitcher { id: themeSwitcher; y: 60 }
    Avatar { id: avatar; y: 200; size: 36 }
    GlassButton { id: glass; y: 240; text: "Регистрация" }

    TestCase {
        name: "Switchers"
        when: windowShown

        function tab(parent, name) { return findChild(parent, name) }
        function label(tab) { return findChild(tab, "themeTabLabel") }

        function init() {
            LanguageManager.language = "ru"
            ThemeManager.mode = "light"
            tryCompare(ThemeManager, "isDark", false)
        }

        function test_languageTabsAlwaysReadTheirOwnLanguage() {
            const ru = tab(languageSwitcher, "langTab_ru")
            const en = tab(languageSwitcher, "langTab_en")
            verify(ru.isSelected && !en.isSelected)
            mouseClick(en)
            compare(LanguageManager.language, "en")
            verify(en.isSelected && !ru.isSelected)
            compare(ru.text, "РУС")
            compare(en.text, "ENG")
        }

        function test_themeTabShowsNameOnlyWhenSelected() {
            const light = tab(themeSwitcher, "themeTab_light")
            const dark = tab(themeSwitcher, "themeTab_dark")
            verify(light && dark)
            verify(label(light).visible)
            verify(!label(dark).visible)
            compare(label(light).text, "Светлая")
            const narrow = dark.width

            LanguageManager.language = "en"
            compare(label(light).text, "Light")
            compare(ThemeManager.mode, "light") // the language does not touch the theme

            mouseClick(dark)
            compare(ThemeManager.mode, "dark")
            tryCompare(ThemeManager, "isDark", true)
            verify(label(dark).visible)
            verify(!label(light).visible)
            compare(label(dark).text, "Dark")
            verify(dark.width > narrow)
            compare(AppColors.background, AppColors.dark.background)
            compare(languageSwitcher.colors.background, AppColors.dark.background)
        }

        function test_avatarStates() {
            avatar.source = ""
            verify(avatar.showsFallback)
            verify(!avatar.loading)

            // A picture that takes its time: the pulsing placeholder, then the picture.
            avatar.source = imageServer.url + "/slow.png"
            tryCompare(avatar, "loading", true)
            verify(!avatar.showsFallback)
            tryCompare(imageServer, "heldCount", 1)
            verify(avatar.loading)
            imageServer.release()
            tryCompare(avatar, "showsImage", true)
            verify(!avatar.loading)

            // A failed load falls back to the person symbol and never shows an error.
            avatar.source = imageServer.url + "/missing.png"
            tryCompare(avatar, "showsFallback", true)
            avatar.source = imageServer.url + "/avatar.png"
            tryCompare(avatar, "showsImage", true)
        }

        // Plain text takes the application font (tst_fonts); a control must not set its own.
        function test_controlsUseTheUiFont() {
            compare(glass.contentItem.font.family, "OrvUI")
        }
    }
}
