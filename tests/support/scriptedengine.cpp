#include "scriptedengine.h"

#include <QCoroSignal>

#include <stdexcept>

ScriptedEngine::ScriptedEngine(QString name)
    : m_name(std::move(name))
{ }

QCoro::Task<QString> ScriptedEngine::translate(QString text, QString from, QString to)
{
    const qsizetype call = m_calls.size();
    m_calls.append({text, from, to, std::nullopt, nullptr});
    while (m_calls.at(call).pending())
        co_await qCoro(this, &ScriptedEngine::settled);
    if (m_calls.at(call).error)
        std::rethrow_exception(m_calls.at(call).error);
    co_return *m_calls.at(call).result;
}

void ScriptedEngine::succeed(qsizetype call, const QString &result)
{
    m_calls[call].result = result;
    Q_EMIT settled(call);
}

void ScriptedEngine::fail(qsizetype call, std::exception_ptr error)
{
    m_calls[call].error = std::move(error);
    Q_EMIT settled(call);
}

void ScriptedEngine::failPending()
{
    for (qsizetype call = 0; call < m_calls.size(); ++call) {
        if (m_calls.at(call).pending())
            fail(call, std::make_exception_ptr(std::runtime_error("the test ended")));
    }
}
