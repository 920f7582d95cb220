#include "TokenStore.h"

#include "Preferences.h"

#include "Diagnostics.h"

#include <QStringDecoder>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace {

// The item has no service of its own; the account name identifies it.
const QString service;

std::optional<QString> decodeToken(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError() || text.isEmpty())
        return std::nullopt;
    return text;
}

// Not the token: only whether one is stored, so a start without one needs no keyring round trip.
const QString storedMarkerKey = QStringLiteral("hasStoredToken");

void rememberStored(bool stored)
{
    Preferences::setValue(storedMarkerKey, stored);
}

} // namespace

bool TokenStore::mayHaveStoredToken()
{
    return Preferences::boolValue(storedMarkerKey, true);
}

TokenStore::TokenStore(QObject *parent)
    : QObject(parent)
{
}

void TokenStore::load()
{
    m_changedSinceLoad = false;
    enqueue(
        [] {
            auto *job = new QKeychain::ReadPasswordJob(service);
            job->setKey(Preferences::tokenAccount());
            return job;
        },
        [this](QKeychain::Job *job, bool timedOut) {
            // A save or remove issued meanwhile is newer than what this read saw.
            if (!m_changedSinceLoad) {
                if (!timedOut && job->error() == QKeychain::NoError)
                    m_token = decodeToken(static_cast<QKeychain::ReadPasswordJob *>(job)->binaryData());
                else
                    m_token.reset();
                // A locked or absent keyring is not proof that nothing is stored.
                if (m_token || (!timedOut && job->error() == QKeychain::EntryNotFound))
                    rememberStored(m_token.has_value());
            }
            m_loaded = true;
            emit loaded();
        });
}

void TokenStore::save(const QString &token)
{
    m_changedSinceLoad = true;
    m_token = token.isEmpty() ? std::nullopt : std::optional<QString>(token);
    rememberStored(m_token.has_value());
    const QByteArray data = token.toUtf8();
    enqueue(
        [data] {
            auto *job = new QKeychain::WritePasswordJob(service);
            job->setKey(Preferences::tokenAccount());
            job->setBinaryData(data);
            return job;
        },
        [this](QKeychain::Job *job, bool timedOut) {
            const int status = timedOut ? int(QKeychain::OtherError) : int(job->error());
            if (status != QKeychain::NoError) {
                // The token stays in memory for this run only.
                diag(QStringLiteral("Failed to save token: ") + QString::number(status));
                rememberStored(false);
                emit saveFailed(status);
            }
        });
}

void TokenStore::remove()
{
    m_changedSinceLoad = true;
    m_token.reset();
    rememberStored(false);
    enqueue(
        [] {
            auto *job = new QKeychain::DeletePasswordJob(service);
            job->setKey(Preferences::tokenAccount());
            return job;
        },
        [](QKeychain::Job *, bool) {});
}

void TokenStore::enqueue(JobFactory make, JobDone done)
{
    m_queue.push_back({std::move(make), std::move(done)});
    if (!m_running)
        runNext();
}

void TokenStore::runNext()
{
    if (m_queue.empty()) {
        m_running = false;
        emit idle();
        return;
    }
    m_running = true;
    Pending next = std::move(m_queue.front());
    m_queue.pop_front();

    QKeychain::Job *job = next.make();
    job->setAutoDelete(true);
    // One context per job: whichever of "finished" and the time-out comes first disconnects the other.
    auto *context = new QObject(this);
    auto *timer = new QTimer(context);
    timer->setSingleShot(true);
    auto finish = [this, context, job, done = std::move(next.done)](bool timedOut) {
        done(job, timedOut);
        context->deleteLater();
        // A timed-out job may still finish later; it deletes itself then and nobody listens.
        QMetaObject::invokeMethod(this, &TokenStore::runNext, Qt::QueuedConnection);
    };
    auto shared = std::make_shared<decltype(finish)>(std::move(finish));
    connect(job, &QKeychain::Job::finished, context, [shared, context, timer](QKeychain::Job *) {
        timer->stop();
        QObject::disconnect(timer, nullptr, context, nullptr);
        (*shared)(false);
    });
    connect(timer, &QTimer::timeout, context, [shared, job, context] {
        QObject::disconnect(job, nullptr, context, nullptr);
        (*shared)(true);
    });
    timer->start(m_timeout);
    job->start();
}
