#pragma once

#include <QCoroTask> // std::coroutine_handle, in a form moc can read
#include <exception>
#include <memory>
#include <optional>
#include <utility>

// A value or an error delivered exactly once to at most one awaiting coroutine.
// Copies share the same state, so the side that settles and the side that waits
// each hold one. Settling before anyone waits is fine: the awaiter then does not
// suspend. Later attempts to settle are ignored and reported by the return value.
template<typename T>
class OneShot final
{
public:
    OneShot()
        : m_state(std::make_shared<State>())
    { }

    bool isSettled() const { return m_state->value.has_value() || m_state->error; }

    bool resolve(T value)
    {
        if (isSettled())
            return false;
        m_state->value = std::move(value);
        wake();
        return true;
    }

    bool reject(std::exception_ptr error)
    {
        if (isSettled())
            return false;
        m_state->error = std::move(error);
        wake();
        return true;
    }

    template<typename Error>
    bool reject(const Error &error)
    {
        return reject(std::make_exception_ptr(error));
    }

    auto operator co_await() const
    {
        struct Awaiter {
            std::shared_ptr<State> state;
            bool await_ready() const noexcept { return state->value.has_value() || state->error; }
            void await_suspend(std::coroutine_handle<> waiter) noexcept
            {
                Q_ASSERT(!state->waiter); // one waiter only: a second would never wake
                state->waiter = waiter;
            }
            T await_resume()
            {
                if (state->error)
                    std::rethrow_exception(state->error);
                return std::move(*state->value);
            }
        };
        return Awaiter{m_state};
    }

private:
    struct State {
        std::optional<T> value;
        std::exception_ptr error;
        std::coroutine_handle<> waiter;
    };

    void wake()
    {
        // The waiter runs inside this call; keep the state alive even if the
        // waiter drops the last other copy.
        const std::shared_ptr<State> keep = m_state;
        if (auto waiter = std::exchange(keep->waiter, nullptr))
            waiter.resume();
    }

    std::shared_ptr<State> m_state;
};
