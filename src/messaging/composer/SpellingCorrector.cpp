#include "SpellingCorrector.h"

#include "EnchantChecker.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QPointer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// One long-lived worker: its thread keeps the loaded dictionaries between checks.
QThreadPool *spellingPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setExpiryTimeout(-1);
        p->setObjectName(QStringLiteral("spelling"));
        return p;
    }();
    return pool;
}

} // namespace

SpellingCorrector::SpellingCorrector(QObject *parent)
    : QObject(parent)
{
    warmUp();
}

SpellingCorrector::~SpellingCorrector() = default;

void SpellingCorrector::warmUp()
{
    static const bool started = [] {
        spellingPool()->start([] { EnchantChecker::forThread(); });
        // Finish a running check and let the worker free its dictionaries while the application still
        // exists, not while static data the rules use is being torn down.
        qAddPostRoutine([] { spellingPool()->waitForDone(); });
        return true;
    }();
    Q_UNUSED(started);
}

void SpellingCorrector::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    emit textChanged();
}

void SpellingCorrector::setLanguage(const QString &language)
{
    if (language == m_language)
        return;
    m_language = language;
    emit languageChanged();
}

void SpellingCorrector::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    emit busyChanged();
}

SpellingRules::Result SpellingCorrector::correctNow(const QString &text)
{
    return SpellingRules::correct(text, EnchantChecker::forThread());
}

void SpellingCorrector::check()
{
    if (m_text.isEmpty())
        return;
    const QString input = m_text;
    const quint64 generation = ++m_generation;
    setBusy(true);

    auto *watcher = new QFutureWatcher<SpellingRules::Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, input, generation] {
        watcher->deleteLater();
        if (generation != m_generation)
            return; // a newer check owns the result
        setBusy(false);
        if (m_text != input)
            return; // edited meanwhile: the correction would overwrite the new text
        const SpellingRules::Result result = watcher->result();
        emit finished(result.text, result.changed, SpellingRules::noticeText(result.changed, m_language == QLatin1String("en")));
    });
    watcher->setFuture(QtConcurrent::run(spellingPool(), [input] { return correctNow(input); }));
}
