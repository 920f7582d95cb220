#include "Poller.h"

#include "ServerReachability.h"

#include <QPointer>

Poller::Poller(std::chrono::milliseconds interval, Load load)
    : m_load(std::move(load))
    , m_interval(interval)
    , m_pause(interval)
    , m_longestPause(ServerReachability::longestPause)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { pollOnce(); });
    connect(&ServerReachability::shared(), &ServerReachability::reachableChanged, this, &Poller::onReachableChanged);
}

void Poller::scheduleNext()
{
    m_pause = ServerReachability::shared().isReachable() ? m_interval
                                                         : std::min(std::max(m_pause * 2, m_interval), m_longestPause);
    m_timer.start(m_pause);
}

void Poller::onReachableChanged(bool reachable)
{
    if (!reachable)
        return;
    const bool lengthened = m_pause > m_interval;
    m_pause = m_interval;
    if (lengthened && m_timer.isActive())
        m_timer.start(0);
}

void Poller::setActive(bool active)
{
    if (!active) {
        stop();
        return;
    }
    const quint64 generation = ++m_generation;
    m_timer.stop();
    QCoro::connect(m_load(true), this, [this, generation] {
        if (generation == m_generation)
            restart();
    });
}

void Poller::restart()
{
    ++m_generation;
    m_pause = m_interval;
    m_timer.start(m_interval);
}

void Poller::stop()
{
    ++m_generation;
    m_timer.stop();
}

QCoro::Task<> Poller::pollOnce()
{
    QPointer<Poller> self(this);
    const quint64 generation = m_generation;
    ++m_pollsRunning;
    co_await m_load(false);
    if (!self)
        co_return;
    --m_pollsRunning;
    if (generation == m_generation)
        scheduleNext();
}
