#pragma once

#include "WordChecker.h"

#include <QString>
#include <QStringView>

// The composer's text clean-up: spaces, capitals, punctuation, hyphenated words and, through a
// WordChecker, spelling. Pure text work (Qt Core only), safe on any thread.
namespace SpellingRules {

struct Result {
    QString text;
    bool changed = false;
};

// The whole check of a non-empty composer text. Links and e-mail addresses pass through untouched,
// and each word is checked in the dictionary of its own script.
Result correct(const QString &text, WordChecker &checker);

// Upper-cases the first letter after ".", "!" or "?" (white space may lie between).
QString capitalizeAfterPunctuation(const QString &text, bool &changed);

// Completes a form such as "кое-" or "some-" that ends a word before a space, ".", ",", "!", "?" or
// the end of the text ("кое-что", "something"), keeping a leading capital.
QString completeHyphenatedWords(const QString &text, bool &changed);

// Cyrillic or Latin when every letter of the word is of that script; Other otherwise.
WordScript scriptOf(QStringView word);

// A run of non-white-space that the rules leave as it is: an address with "://", "www." or an e-mail.
bool isProtectedToken(QStringView token);

// The notice after a check.
QString noticeText(bool changed, bool english);

} // namespace SpellingRules
