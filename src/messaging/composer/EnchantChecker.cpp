#include "EnchantChecker.h"

#include <enchant.h>

EnchantChecker::EnchantChecker()
    : m_broker(enchant_broker_init())
{
    if (!m_broker)
        return;
    m_ru = request({"ru_RU", "ru"});
    m_en = request({"en_US", "en_GB", "en"});
}

EnchantChecker::~EnchantChecker()
{
    if (!m_broker)
        return;
    if (m_ru.dict)
        enchant_broker_free_dict(m_broker, m_ru.dict);
    if (m_en.dict)
        enchant_broker_free_dict(m_broker, m_en.dict);
    enchant_broker_free(m_broker);
}

EnchantChecker &EnchantChecker::forThread()
{
    thread_local EnchantChecker checker;
    return checker;
}

EnchantChecker::Dictionary EnchantChecker::request(std::initializer_list<const char *> tags)
{
    for (const char *tag : tags) {
        if (enchant_broker_dict_exists(m_broker, tag) != 1)
            continue;
        if (EnchantDict *dict = enchant_broker_request_dict(m_broker, tag))
            return {dict, QByteArray(tag)};
    }
    return {};
}

str_enchant_dict *EnchantChecker::dictFor(WordScript script) const
{
    switch (script) {
    case WordScript::Cyrillic: return m_ru.dict;
    case WordScript::Latin: return m_en.dict;
    case WordScript::Other: break;
    }
    return nullptr;
}

bool EnchantChecker::hasDictionary(WordScript script) const
{
    return dictFor(script) != nullptr;
}

QByteArray EnchantChecker::dictionaryTag(WordScript script) const
{
    switch (script) {
    case WordScript::Cyrillic: return m_ru.tag;
    case WordScript::Latin: return m_en.tag;
    case WordScript::Other: break;
    }
    return {};
}

bool EnchantChecker::isMisspelled(const QString &word, WordScript script)
{
    EnchantDict *dict = dictFor(script);
    if (!dict || word.isEmpty())
        return false;
    const QByteArray utf8 = word.toUtf8();
    // Negative is an error of the checker, not a verdict on the word.
    return enchant_dict_check(dict, utf8.constData(), utf8.size()) > 0;
}

QStringList EnchantChecker::suggestions(const QString &word, WordScript script)
{
    EnchantDict *dict = dictFor(script);
    if (!dict || word.isEmpty())
        return {};
    const QByteArray utf8 = word.toUtf8();
    size_t count = 0;
    char **list = enchant_dict_suggest(dict, utf8.constData(), utf8.size(), &count);
    QStringList result;
    for (size_t i = 0; list && i < count; ++i)
        result << QString::fromUtf8(list[i]);
    if (list)
        enchant_dict_free_string_list(dict, list);
    return result;
}
