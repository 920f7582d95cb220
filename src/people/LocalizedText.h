#pragma once

#include "LanguageManager.h"

#include <QString>

// A text kept in both interface languages, so a screen can relabel it when the language changes
// instead of freezing the language of the moment it was produced. Server texts carry one text twice.
struct LocalizedText {
    QString ru;
    QString en;

    static LocalizedText same(const QString &text) { return {text, text}; }
    bool isEmpty() const { return ru.isEmpty() && en.isEmpty(); }
    QString in(AppLanguage language) const { return language == AppLanguage::En ? en : ru; }
    bool operator==(const LocalizedText &) const = default;
};
