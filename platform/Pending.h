#pragma once

#include <QMetaObject>
#include <QObject>

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

// A value that arrives later, on the window's thread, and the coroutine that waits for
// it. The producer keeps a Completion and hands out its Pending; the consumer writes
// `T value = co_await producer.start();` and is suspended until the value comes.
//
// The promise each side may rely on:
// - A Pending is awaited once. It cannot be copied, and only a temporary or a moved
//   one can be awaited (`co_await std::move(pending)`); awaiting it again, once it has
//   been moved from, is treated as a value that never comes.
// - A producer that goes away or starts afresh without a value destroys the waiting
//   coroutine instead of resuming it, so nothing runs on objects that are gone; a
//   coroutine that reaches its co_await only after that is destroyed there.
// - The waiting coroutine resumes from the event loop, never from inside complete():
//   the producer finishes what it was doing first.
template<typename T>
class Completion;

template<typename T>
class Pending
{
    struct State
    {
        std::optional<T> value;
        std::coroutine_handle<> waiter;
        bool abandoned = false;
    };
    friend class Completion<T>;

public:
    // Already there: a value that was known at once (a refused address, say).
    static Pending ready(T value)
    {
        auto state = std::make_shared<State>();
        state->value = std::move(value);
        return Pending(std::move(state));
    }

    Pending(Pending &&) noexcept = default;
    Pending &operator=(Pending &&) noexcept = default;
    Pending(const Pending &) = delete;
    Pending &operator=(const Pending &) = delete;

    class Awaiter
    {
    public:
        explicit Awaiter(std::shared_ptr<State> state) : m_state(std::move(state)) {}

        bool await_ready() const noexcept { return m_state && m_state->value.has_value(); }
        void await_suspend(std::coroutine_handle<> waiter) noexcept
        {
            if (!m_state || m_state->abandoned) {
                // The value will never come. This awaiter lives in the frame: nothing
                // of it is touched once the frame is gone.
                waiter.destroy();
                return;
            }
            m_state->waiter = waiter;
        }
        T await_resume() { return std::move(*m_state->value); }

    private:
        std::shared_ptr<State> m_state;
    };

    // The state goes with the awaiter: this Pending is empty afterwards.
    Awaiter operator co_await() && noexcept { return Awaiter(std::move(m_state)); }
    void operator co_await() & = delete;

private:
    explicit Pending(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    std::shared_ptr<State> m_state;
};

template<typename T>
class Completion
{
    using State = typename Pending<T>::State;

public:
    Completion() = default;
    Completion(const Completion &) = delete;
    Completion &operator=(const Completion &) = delete;
    ~Completion() { abandon(); }

    // Starts afresh: a new value for a new waiter. A waiter of the last one that got no
    // value yet is destroyed.
    Pending<T> pending()
    {
        abandon();
        m_state = std::make_shared<State>();
        return Pending<T>(m_state);
    }

    // Hands the value over. The waiting coroutine resumes from the event loop, once
    // the caller has returned; a coroutine that has not reached its co_await yet takes
    // the value there without waiting.
    void complete(T value)
    {
        if (!m_state || m_state->value)
            return;
        m_state->value = std::move(value);
        // Queued on an object of this Completion's own: if the Completion goes first,
        // the call is dropped and abandon() has destroyed the waiter.
        QMetaObject::invokeMethod(&m_context, [this, state = m_state] { resume(state); }, Qt::QueuedConnection);
    }

    // The value will never come: the waiting coroutine is destroyed, never resumed, and
    // one that arrives later is destroyed when it does.
    void abandon()
    {
        if (!m_state)
            return;
        const std::shared_ptr<State> state = std::exchange(m_state, nullptr);
        state->abandoned = true;
        state->value.reset();
        if (const std::coroutine_handle<> waiter = std::exchange(state->waiter, nullptr))
            waiter.destroy();
    }

private:
    void resume(const std::shared_ptr<State> &state)
    {
        // Started afresh or abandoned meanwhile: that waiter is already gone.
        if (state != m_state)
            return;
        m_state = nullptr;
        if (const std::coroutine_handle<> waiter = std::exchange(state->waiter, nullptr))
            waiter.resume();
    }

    std::shared_ptr<State> m_state;
    QObject m_context;
};
