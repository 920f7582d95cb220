#pragma once

#include "WordChecker.h"

#include <QByteArray>

struct str_enchant_broker;
struct str_enchant_dict;

// WordChecker over Enchant 2: Russian for Cyrillic words, English for Latin ones. Enchant objects
// belong to the thread that made them, so each thread has its own (forThread()).
class EnchantChecker final : public WordChecker
{
public:
    EnchantChecker();
    ~EnchantChecker() override;
    EnchantChecker(const EnchantChecker &) = delete;
    EnchantChecker &operator=(const EnchantChecker &) = delete;

    // This thread's checker, made (and its dictionaries loaded) on first use.
    static EnchantChecker &forThread();

    bool hasDictionary(WordScript script) const;
    // The tag of the dictionary loaded for the script ("ru_RU", "en_US", …), empty when none.
    QByteArray dictionaryTag(WordScript script) const;

    bool isMisspelled(const QString &word, WordScript script) override;
    QStringList suggestions(const QString &word, WordScript script) override;

private:
    struct Dictionary {
        str_enchant_dict *dict = nullptr;
        QByteArray tag;
    };
    Dictionary request(std::initializer_list<const char *> tags);
    str_enchant_dict *dictFor(WordScript script) const;

    str_enchant_broker *m_broker = nullptr;
    Dictionary m_ru;
    Dictionary m_en;
};
