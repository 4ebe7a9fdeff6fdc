#pragma once

#include <QCoroTask>
#include <QTest>

#include <exception>
#include <optional>

// Runs a task to its end under the event loop and returns its value or
// rethrows its exception. QCoro::waitFor() in QCoro 0.8 never returns for a
// task that has already finished by throwing, which is what a failing engine
// often does before its first suspension.
template <typename T>
T settle(QCoro::Task<T> task, int timeoutMs = 10000)
{
    bool done = false;
    std::optional<T> value;
    std::exception_ptr error;
    auto runner = [&]() -> QCoro::Task<> {
        try {
            value = co_await std::move(task);
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
    };
    auto running = runner();
    if (!done && !QTest::qWaitFor([&] { return done; }, timeoutMs))
        throw std::runtime_error("task did not finish in time");
    if (error)
        std::rethrow_exception(error);
    return std::move(*value);
}
