#pragma once

#include "SpellingRules.h"

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The composer's spelling check, run off the GUI thread so slow suggestions never freeze the window.
//
//   SpellingCorrector {
//       id: speller
//       text: chat.newMessage          // the text a result applies to
//       language: LanguageManager.language
//       onFinished: (text, changed, notice) => { if (changed) chat.newMessage = text; showNotice(notice) }
//   }
//   ... onSpellCheck: speller.check()
//
// A result arrives only while `text` still holds what was checked; typing meanwhile drops it, as
// does a newer check().
class SpellingCorrector : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
    explicit SpellingCorrector(QObject *parent = nullptr);
    ~SpellingCorrector() override;

    QString text() const { return m_text; }
    void setText(const QString &text);
    QString language() const { return m_language; }
    void setLanguage(const QString &language);
    bool busy() const { return m_busy; }

    // Checks `text` in the background; an empty text is left alone (no result, no notice).
    Q_INVOKABLE void check();
    // The same check on the calling thread, with that thread's Enchant dictionaries.
    static SpellingRules::Result correctNow(const QString &text);
    // Loads the dictionaries in the background so the first check does not wait for them.
    static void warmUp();

signals:
    void textChanged();
    void languageChanged();
    void busyChanged();
    // `changed` is true when `text` differs from what was checked; `notice` is the text to show.
    void finished(const QString &text, bool changed, const QString &notice);

private:
    void setBusy(bool busy);

    QString m_text;
    QString m_language = QStringLiteral("ru");
    bool m_busy = false;
    quint64 m_generation = 0;
};
