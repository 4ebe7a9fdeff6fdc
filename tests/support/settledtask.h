#pragma once

#include "translationerror.h"

#include <QCoroTask>

#include <optional>

// The outcome of an engine call, value or TranslationError, for tests.
template <typename T>
struct Settled {
    std::optional<T> value;
    std::optional<TranslationError> error;

    QString description() const { return error ? error->errorDescription() : QString(); }
};

namespace SettledTask {

template <typename T>
QCoro::Task<Settled<T>> capture(QCoro::Task<T> task)
{
    try {
        T value = co_await std::move(task);
        co_return Settled<T>{std::move(value), std::nullopt};
    } catch (const TranslationError &error) {
        co_return Settled<T>{std::nullopt, error};
    }
}

// Runs the task to its end in a nested event loop. QCoro::waitFor alone never
// returns when the task throws, so the error is caught inside.
template <typename T>
Settled<T> wait(QCoro::Task<T> task)
{
    return QCoro::waitFor(capture(std::move(task)));
}

} // namespace SettledTask
