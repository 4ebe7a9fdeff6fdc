#pragma once

#include "core/translationerror.h"

#include <QCoroTask>

#include <exception>
#include <optional>

// What a task ended with, so a test can start several requests, wait for each
// and compare values, and the text a user would see for an error, alike.
template<typename T>
struct Settled {
    std::optional<T> value;
    std::exception_ptr error;

    // The error as E, or nothing when the task did not fail that way.
    template<typename E>
    std::optional<E> errorAs() const
    {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const E &e) {
            return e;
        } catch (...) { }
        return std::nullopt;
    }
    // The text a user would see for a TranslationError; empty for anything else.
    QString description() const
    {
        const auto translationError = errorAs<TranslationError>();
        return translationError ? translationError->errorDescription() : QString();
    }
};

template<typename T>
QCoro::Task<Settled<T>> settle(QCoro::Task<T> task)
{
    Settled<T> outcome;
    try {
        outcome.value = co_await task;
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

// Runs the event loop until the task has ended.
template<typename T>
Settled<T> settled(QCoro::Task<T> task)
{
    return QCoro::waitFor(settle(std::move(task)));
}
