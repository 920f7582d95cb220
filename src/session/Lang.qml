pragma Singleton
import QtQml
import Orvane.Session

// Text choice for bindings: `text: Lang.text("Вход в систему", "Sign In")` re-evaluates when the
// language changes, because the language is read inside the binding's evaluation.
QtObject {
    readonly property bool isEnglish: LanguageManager.language === "en"
    readonly property string language: LanguageManager.language

    function text(ru, en) {
        return LanguageManager.language === "en" ? en : ru
    }
}
