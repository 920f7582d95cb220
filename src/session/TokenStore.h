#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <optional>

namespace QKeychain {
class Job;
}

// The session token in the Secret Service (QtKeychain), account "com.theorvane.teams.authToken".
//
// token() answers from an in-memory mirror: the keyring is read once by load() and the mirror is
// updated at once by save() and remove(). Callers ask for the token before every request, and a
// synchronous D-Bus round trip there would block the GUI thread each time (forever, if the keyring
// waits for an unlock prompt). Keyring jobs run one at a time in call order, each bounded by a
// time-out; a job that times out counts as failed. There is never a plaintext fallback: without a
// keyring the token lives only in memory for this run.
class TokenStore : public QObject
{
    Q_OBJECT

public:
    static constexpr auto account = "com.theorvane.teams.authToken";
    static constexpr std::chrono::milliseconds defaultJobTimeout{10000};

    explicit TokenStore(QObject *parent = nullptr);

    // Absent until load() finished, and for a missing, empty or non-UTF-8 stored value.
    std::optional<QString> token() const { return m_token; }
    bool isLoaded() const { return m_loaded; }
    bool isIdle() const { return m_queue.empty() && !m_running; }

    void load();
    // False only when this machine's last word was that no token is stored (a sign-out, or a read that
    // found nothing): start-up then skips the keyring. Anything unsure answers true.
    static bool mayHaveStoredToken();
    void save(const QString &token);
    void remove();

    void setJobTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

signals:
    void loaded();
    // Every queued keyring job has finished (or timed out).
    void idle();
    void saveFailed(int status);

private:
    using JobFactory = std::function<QKeychain::Job *()>;
    using JobDone = std::function<void(QKeychain::Job *job, bool timedOut)>;
    void enqueue(JobFactory make, JobDone done);
    void runNext();

    struct Pending {
        JobFactory make;
        JobDone done;
    };
    std::deque<Pending> m_queue;
    bool m_running = false;
    std::optional<QString> m_token;
    bool m_loaded = false;
    bool m_changedSinceLoad = false;
    std::chrono::milliseconds m_timeout = defaultJobTimeout;
};
