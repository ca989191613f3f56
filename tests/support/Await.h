#pragma once

#include "Command.h"
#include "Pending.h"

#include <QTest>

#include <memory>
#include <optional>

// Runs the event loop until pending has its value, for at most timeoutMs; empty if it
// never came. The value lands in shared storage, so a late one never writes into a
// test that has given up.
template<typename T>
std::optional<T> awaitValue(Pending<T> pending, int timeoutMs = 30000)
{
    auto value = std::make_shared<std::optional<T>>();
    [](Pending<T> p, std::shared_ptr<std::optional<T>> out) -> Command {
        *out = co_await std::move(p);
        co_return std::nullopt;
    }(std::move(pending), value);
    [[maybe_unused]] const bool arrived = QTest::qWaitFor([&value] { return value->has_value(); }, timeoutMs);
    return *value;
}
