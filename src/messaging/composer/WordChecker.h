#pragma once

#include <QString>
#include <QStringList>

// The script a word is written in. Each script has its own dictionary: Cyrillic words are checked
// in Russian, Latin words in English; words of any other or of mixed script are left alone.
enum class WordScript { Other, Cyrillic, Latin };

// What the spelling rules ask of a spell checker. Implementations may be slow (dictionary look-ups,
// suggestions) and are used from one thread at a time.
class WordChecker
{
public:
    virtual ~WordChecker() = default;
    virtual bool isMisspelled(const QString &word, WordScript script) = 0;
    // Corrections, best first; empty when the checker has none.
    virtual QStringList suggestions(const QString &word, WordScript script) = 0;
};

// A checker that finds nothing: the punctuation and capitalisation rules alone.
class NoWordChecker final : public WordChecker
{
public:
    bool isMisspelled(const QString &, WordScript) override { return false; }
    QStringList suggestions(const QString &, WordScript) override { return {}; }
};
