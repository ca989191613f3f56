#pragma once

#include "RuntimeError.h"

#include <coroutine>
#include <exception>
#include <functional>
#include <memory>

// What an event handler that waits returns. The handler is a coroutine: it runs at
// once, up to its first co_await, and finishes later, when what it waits for has come.
// It ends with `co_return error;` (a RuntimeError) or `co_return std::nullopt;`; an
// error goes to whoever asked, through onFailure, as an error that no handler caught.
class Command
{
    struct Outcome
    {
        bool done = false;
        Failure failure;
        std::function<void(const RuntimeError &)> report;
    };

public:
    struct promise_type
    {
        std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();

        Command get_return_object() { return Command(outcome); }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_value(std::nullopt_t) { outcome->done = true; }
        void return_value(const RuntimeError &error)
        {
            outcome->done = true;
            if (outcome->report)
                outcome->report(error);
            else
                outcome->failure = error;
        }
        // Handlers speak in errors as values; an exception here is a bug.
        void unhandled_exception() noexcept { std::terminate(); }
    };

    // Calls report with the failure the command ends with: at once if it has already
    // ended, otherwise when it does. A command whose coroutine is destroyed before it
    // ends reports nothing.
    void onFailure(std::function<void(const RuntimeError &)> report)
    {
        if (!m_outcome->done) {
            m_outcome->report = std::move(report);
            return;
        }
        if (m_outcome->failure)
            report(*m_outcome->failure);
    }

    // Whether the handler has run to its end.
    bool done() const { return m_outcome->done; }

private:
    explicit Command(std::shared_ptr<Outcome> outcome) : m_outcome(std::move(outcome)) {}

    std::shared_ptr<Outcome> m_outcome;
};
