#pragma once

#include <coroutine>
#include <functional>
#include <optional>

// Awaits a completion-callback operation of the media session from a coroutine (QCoro tasks
// included): the coroutine resumes on the GUI thread when the completion runs, exactly once.
template<typename T>
class MediaCompletion
{
public:
    using Start = std::function<void(std::function<void(T)>)>;

    explicit MediaCompletion(Start start)
        : m_start(std::move(start))
    {
    }

    bool await_ready() const noexcept { return false; }

    void await_suspend(std::coroutine_handle<> handle)
    {
        // The awaiter lives in the suspended coroutine's frame until it resumes.
        m_start([this, handle](T value) {
            m_result.emplace(std::move(value));
            handle.resume();
        });
    }

    T await_resume() { return std::move(*m_result); }

private:
    Start m_start;
    std::optional<T> m_result;
};
