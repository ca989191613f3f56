#pragma once

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

// A value that arrives later, on the window's thread, and the coroutine that waits for
// it. The producer keeps a Completion and hands out its Pending; the consumer writes
// `T value = co_await pending;` and is suspended until the value comes. A producer
// that goes away without a value destroys the waiting coroutine instead of resuming
// it, so nothing runs on objects that are gone.
template<typename T>
class Pending
{
public:
    struct State
    {
        std::optional<T> value;
        std::coroutine_handle<> waiter;
    };

    explicit Pending(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    // Already there: a value that was known at once (a refused address, say).
    static Pending ready(T value)
    {
        auto state = std::make_shared<State>();
        state->value = std::move(value);
        return Pending(std::move(state));
    }

    bool await_ready() const noexcept { return m_state->value.has_value(); }
    void await_suspend(std::coroutine_handle<> waiter) noexcept { m_state->waiter = waiter; }
    T await_resume() { return std::move(*m_state->value); }

private:
    std::shared_ptr<State> m_state;
};

template<typename T>
class Completion
{
public:
    Completion() = default;
    Completion(const Completion &) = delete;
    Completion &operator=(const Completion &) = delete;
    ~Completion() { abandon(); }

    // Starts afresh: a new value for a new waiter.
    Pending<T> pending()
    {
        abandon();
        m_state = std::make_shared<typename Pending<T>::State>();
        return Pending<T>(m_state);
    }

    // Hands the value over; a waiting coroutine resumes before this returns.
    void complete(T value)
    {
        if (!m_state)
            return;
        const std::shared_ptr<typename Pending<T>::State> state = std::exchange(m_state, nullptr);
        state->value = std::move(value);
        if (const std::coroutine_handle<> waiter = std::exchange(state->waiter, nullptr))
            waiter.resume();
    }

    // The value will never come: the waiting coroutine is destroyed, never resumed.
    void abandon()
    {
        if (!m_state)
            return;
        const std::shared_ptr<typename Pending<T>::State> state = std::exchange(m_state, nullptr);
        if (const std::coroutine_handle<> waiter = std::exchange(state->waiter, nullptr))
            waiter.destroy();
    }

private:
    std::shared_ptr<typename Pending<T>::State> m_state;
};
