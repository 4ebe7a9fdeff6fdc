#pragma once

#include "taskoutcome.h"
#include "translationerror.h"

// An engine call's outcome with its TranslationError spelled out, so tables
// can compare the text the user would see.
template <typename T>
struct Settled {
    std::optional<T> value;
    std::optional<TranslationError> error;

    QString description() const { return error ? error->errorDescription() : QString(); }
};

namespace SettledTask {

// Runs the task to its end; any error other than a TranslationError is rethrown.
template <typename T>
Settled<T> wait(QCoro::Task<T> task)
{
    TaskOutcome<T> outcome = outcomeOf(std::move(task));
    std::optional<TranslationError> error = outcome.template errorAs<TranslationError>();
    if (outcome.error && !error)
        std::rethrow_exception(outcome.error);
    return {std::move(outcome.value), std::move(error)};
}

} // namespace SettledTask
