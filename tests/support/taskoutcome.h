#pragma once

#include <QCoroTask>

#include <exception>
#include <optional>

// What a task ended with, so a test can start several requests, wait for each
// and check values and errors alike.
template<typename T>
struct TaskOutcome {
    std::optional<T> value;
    std::exception_ptr error;

    // Rethrows the error as E and returns it; fails with a default E if the
    // task did not fail that way.
    template<typename E>
    std::optional<E> errorAs() const
    {
        if (!error)
            return std::nullopt;
        try {
            std::rethrow_exception(error);
        } catch (const E &e) {
            return e;
        } catch (...) {
        }
        return std::nullopt;
    }
};

template<typename T>
QCoro::Task<TaskOutcome<T>> captureOutcome(QCoro::Task<T> task)
{
    TaskOutcome<T> outcome;
    try {
        outcome.value = co_await task;
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

// Runs the event loop until the task has ended.
template<typename T>
TaskOutcome<T> outcomeOf(QCoro::Task<T> task)
{
    return QCoro::waitFor(captureOutcome(std::move(task)));
}
