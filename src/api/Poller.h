#pragma once

#include <QObject>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>

// Polling of the server (a screen's list, the unread count, incoming calls): switched on, one load with
// the loading state, then a load without it a pause after each load has ended, until switched off. The
// pause starts when a load ends, so a slow answer never overlaps the next poll; a load still running when
// the poller stops or restarts schedules nothing. While the server cannot be reached the pause doubles
// after each poll, up to 30 s; the moment any request reaches it again, a poller in a lengthened pause
// polls at once and returns to its interval.
class Poller : public QObject
{
    Q_OBJECT
public:
    // One load; `showLoading` is true only for the first.
    using Load = std::function<QCoro::Task<>(bool showLoading)>;

    Poller(std::chrono::milliseconds interval, Load load);

    void setInterval(std::chrono::milliseconds interval) { m_interval = m_pause = interval; }
    // Test hook: the longest pause while the server is unreachable.
    void setLongestPause(std::chrono::milliseconds pause) { m_longestPause = pause; }
    std::chrono::milliseconds currentPause() const { return m_pause; }
    // On: the first load, then the polls. Off: nothing further is scheduled.
    void setActive(bool active);
    // Starts the pauses and polls afresh (without a first load).
    void restart();
    void stop();
    // A pause or a poll's load is under way.
    bool isRunning() const { return m_timer.isActive() || m_pollsRunning > 0; }

private:
    QCoro::Task<> pollOnce();
    void scheduleNext();
    void onReachableChanged(bool reachable);

    Load m_load;
    QTimer m_timer;
    std::chrono::milliseconds m_interval;
    std::chrono::milliseconds m_pause;
    std::chrono::milliseconds m_longestPause;
    // Bumped on every start and stop: a load of an older round never schedules another.
    quint64 m_generation = 0;
    int m_pollsRunning = 0;
};
