#include "EnchantChecker.h"
#include "SpellingCorrector.h"
#include "SpellingRules.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

using SpellingRules::correct;

namespace {

// Answers from a fixed table: for the cases a real dictionary cannot be made to produce, such as a
// suggestion in another script.
class TableChecker final : public WordChecker
{
public:
    QHash<QString, QStringList> table;
    QStringList asked;
    bool isMisspelled(const QString &word, WordScript) override
    {
        asked << word;
        return table.contains(word);
    }
    QStringList suggestions(const QString &word, WordScript) override { return table.value(word); }
};

} // namespace

class TestSpelling : public QObject
{
    Q_OBJECT

private slots:
    // The punctuation, capital and hyphen rules with a checker that finds nothing.
    void rules_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("changed");

        QTest::newRow("space before comma") << "привет ,как дела" << "Привет, как дела." << true;
        QTest::newRow("full stop without space") << "Hello.world" << "Hello. World." << true;
        QTest::newRow("decimal point") << "3.5 kg" << "3.5 kg." << true;
        QTest::newRow("hyphen before space keeps capital") << "Кое- что" << "Кое-что что." << true;
        QTest::newRow("only the incomplete form") << "что-то и что- вот" << "Что-то и что-то вот." << true;
        QTest::newRow("already clean") << "Как дела?" << "Как дела?" << false;
        QTest::newRow("runs of spaces, ends trimmed") << "  много   пробелов \t" << "Много пробелов." << true;
        QTest::newRow("exclamation and question") << "wow!great?yes" << "Wow! Great? Yes." << true;
        QTest::newRow("space before colon and semicolon") << "a , b : c ; d" << "A, b: c; d." << true;
        QTest::newRow("ellipsis kept") << "Ну... ладно" << "Ну... Ладно." << true;
        QTest::newRow("comma before digit") << "Цена 1,5 рубля" << "Цена 1,5 рубля." << true;
        QTest::newRow("closing marks") << "(ладно)" << "(ладно)" << false;
        QTest::newRow("closing guillemet") << "«цитата»" << "«цитата»" << false;
        QTest::newRow("closing quote") << "Он сказал \"да\"" << "Он сказал \"да\"" << false;
        QTest::newRow("emoji at the end") << "Привет 😀" << "Привет 😀." << true;
        QTest::newRow("spaces only") << "   " << "" << true;
        QTest::newRow("line breaks inside kept") << "раз\nдва" << "Раз\nдва." << true;
        // Sound behaviour: the full stop goes after the last visible character, not onto a line of its own.
        QTest::newRow("trailing line break") << "Раз\nдва\n" << "Раз\nдва.\n" << true;
        // Sound behaviour: links and addresses pass through untouched, and a link at the end gets no
        // full stop that would become part of its address.
        QTest::newRow("link at the end") << "вот файл https://content.example/f/1-ab-report.pdf"
                                         << "Вот файл https://content.example/f/1-ab-report.pdf" << true;
        QTest::newRow("link inside") << "see https://a.example/x?q=1,2.next ok" << "See https://a.example/x?q=1,2.next ok." << true;
        QTest::newRow("www link") << "Go to www.example.com" << "Go to www.example.com" << false;
        QTest::newRow("e-mail") << "write to ivan.petrov@mail.example please" << "Write to ivan.petrov@mail.example please." << true;
        QTest::newRow("link at the start") << "https://a.example/p" << "https://a.example/p" << false;
        // Sound behaviour: a form inside a longer word is not a pronoun to complete.
        QTest::newRow("no completion inside a word") << "Casino- night" << "Casino- night." << true;
        QTest::newRow("object replacement character") << "a \uFFFC b" << "A \uFFFC b." << true;
        QTest::newRow("one completion per ending per run") << "что- что- что-" << "Что-то что- что-то." << true;
        QTest::newRow("no such form") << "немало- дел" << "Немало- дел." << true;
        QTest::newRow("capital after a line break") << "end.\nnext" << "End.\nNext." << true;
        QTest::newRow("quote after a full stop keeps lower case") << "да.\"нет\"" << "Да. \"нет\"" << true;
        QTest::newRow("capital outside the BMP") << "x. \U00010428" << "X. \U00010400." << true;
    }

    void rules()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(bool, changed);
        NoWordChecker none;
        const auto result = correct(input, none);
        QCOMPARE(result.text, expected);
        QCOMPARE(result.changed, changed);
    }

    // The other two come through the corrector below.
    void notices()
    {
        QCOMPARE(SpellingRules::noticeText(false, false), "Ошибок не найдено");
        QCOMPARE(SpellingRules::noticeText(true, true), "Spelling corrected");
    }

    // One form of each kind (pronoun, fixed phrase, doubled word, English), before each ending and at
    // the end, in lower case, capitalised and in capitals.
    void hyphenCompletions()
    {
        const QList<std::pair<QString, QString>> pairs = {
            {"что-", "что-то"}, {"чьё-", "чьё-то"}, {"кое-", "кое-что"}, {"всё-", "всё-таки"},
            {"еле-", "еле-еле"}, {"нежданно-", "нежданно-негаданно"}, {"some-", "something"},
        };
        const auto capital = [](QString s) { s[0] = s.at(0).toUpper(); return s; };
        for (const auto &[incomplete, completion] : pairs) {
            for (const QString ending : {" x", ".", ",", "!", "?", ""}) {
                bool changed = false;
                QCOMPARE(SpellingRules::completeHyphenatedWords("и " + incomplete + ending, changed),
                         "и " + completion + ending);
                QVERIFY(changed);
                changed = false;
                QCOMPARE(SpellingRules::completeHyphenatedWords(capital(incomplete) + ending, changed),
                         capital(completion) + ending);
                changed = false;
                QCOMPARE(SpellingRules::completeHyphenatedWords(incomplete.toUpper() + ending, changed),
                         capital(completion) + ending);
            }
        }
    }

    // Plain Russian and English words are the dictionaries' rows below; Greek is in wordsOfferedAndTaken.
    void scripts_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("script");
        QTest::newRow("apostrophe") << "don't" << int(WordScript::Latin);
        QTest::newRow("accented latin") << "café" << int(WordScript::Latin);
        QTest::newRow("latin p inside a russian word") << "пpивет" << int(WordScript::Other);
        QTest::newRow("no letters") << "123" << int(WordScript::Other);
    }

    void scripts()
    {
        QFETCH(QString, word);
        QFETCH(int, script);
        QCOMPARE(int(SpellingRules::scriptOf(word)), script);
    }

    // A suggestion in another script, or with characters no word has, never replaces a word. Words with
    // digits, links and words of other scripts are never handed to the checker; the loop continues after
    // a correction without checking it again.
    void wordsOfferedAndTaken()
    {
        TableChecker checker;
        checker.table = {{"tset", {"тест", "test"}}, {"превет", {"privet"}}, {"smth", {"s#mth", "something"}}};
        QCOMPARE(correct("a tset превет smth", checker).text, "A test превет something.");
        checker.table = {{"Ab", {"Ab ab"}}};
        checker.asked.clear();
        const auto result = correct("ab x2 https://ab.example/ab λόγος", checker);
        QCOMPARE(result.text, "Ab ab x2 https://ab.example/ab λόγος.");
        QCOMPARE(checker.asked, QStringList({"Ab"}));
        checker.asked.clear();
        correct("AB aB Ab", checker);
        QCOMPARE(checker.asked, QStringList({"Ab"}));
    }

    // Real dictionaries: each word is checked in the dictionary of its own script.
    void enchantBothLanguages_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("russian") << "спосибо за сообщениее" << "Спасибо за сообщение.";
        QTest::newRow("english") << "I recieve it becuase of teh rain" << "I receive it because of the rain.";
        QTest::newRow("english words in russian text stay") << "Отправь this file пажалуйста" << "Отправь this file пожалуйста.";
        QTest::newRow("russian words in english text stay") << "Send the файл please" << "Send the файл please.";
        QTest::newRow("mixed, both corrected") << "Спосибо, recieve" << "Спасибо, receive.";
        QTest::newRow("correct text") << "Привет, как дела?" << "Привет, как дела?";
        // Sound behaviour: abbreviations and names with inner capitals are not "corrected".
        QTest::newRow("abbreviations") << "JSON и QML для ИП ВКонтакте" << "JSON и QML для ИП ВКонтакте.";
    }

    void enchantBothLanguages()
    {
        EnchantChecker &checker = EnchantChecker::forThread();
        if (!checker.hasDictionary(WordScript::Cyrillic) || !checker.hasDictionary(WordScript::Latin))
            QFAIL("Enchant has no ru and en dictionaries (hunspell-ru, hunspell-en-us)");
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(correct(input, checker).text, expected);
    }

    // The background check: a result arrives on the GUI thread, only while the text is still the one
    // checked and only for the newest check; a corrector gone while its check runs gets no call back.
    void correctorDeliversOnlyCurrentResults()
    {
        auto *gone = new SpellingCorrector;
        gone->setText("пажалуйста");
        gone->check();
        delete gone;

        SpellingCorrector corrector;
        QThread *resultThread = nullptr;
        connect(&corrector, &SpellingCorrector::finished, this, [&] { resultThread = QThread::currentThread(); });
        QSignalSpy finished(&corrector, &SpellingCorrector::finished);
        QSignalSpy busy(&corrector, &SpellingCorrector::busyChanged);
        corrector.check(); // nothing to check: not even busy
        QCOMPARE(busy.size(), 0);
        corrector.setText("спосибо");
        corrector.check();
        corrector.setText("спосибо, друг"); // typed on while the check ran
        QTRY_VERIFY_WITH_TIMEOUT(!corrector.busy(), 30000);
        QCOMPARE(finished.size(), 0);

        corrector.setText("спосибо");
        corrector.check();
        QVERIFY(corrector.busy());
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.last(), QVariantList({"Спасибо.", true, "Орфография исправлена"}));
        QCOMPARE(resultThread, QThread::currentThread());
        QVERIFY(!corrector.busy());

        corrector.setLanguage("en");
        corrector.setText("teh");
        corrector.check();
        corrector.setText("Fine.");
        corrector.check();
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.size(), 2);
        QCOMPARE(finished.last(), QVariantList({"Fine.", false, "No errors found"}));
    }

    // Declared last, so it runs last: the application ends while this check still runs in the background.
    void checkStillRunningAtExit()
    {
        static SpellingCorrector corrector;
        corrector.setText(QStringLiteral("пажалуйста, спосибо, сообщениее, учавствовать, карова").repeated(4));
        corrector.check();
        QVERIFY(corrector.busy());
    }
};

QTEST_GUILESS_MAIN(TestSpelling)
#include "tst_spelling.moc"
