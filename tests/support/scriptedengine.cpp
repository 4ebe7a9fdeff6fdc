#include "scriptedengine.h"

#include <QCoroSignal>

#include <stdexcept>

ScriptedEngine::ScriptedEngine(QString name)
    : m_name(std::move(name))
{
}

QCoro::Task<QString> ScriptedEngine::translate(QString text, QString from, QString to)
{
    m_calls.append({text, from, to});
    auto outcome = std::make_shared<Outcome>();
    m_outcomes.append(outcome);
    while (!outcome->done)
        co_await qCoro(this, &ScriptedEngine::settled);
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return outcome->result;
}

void ScriptedEngine::succeed(qsizetype call, const QString &result)
{
    m_outcomes.at(call)->done = true;
    m_outcomes.at(call)->result = result;
    Q_EMIT settled(call);
}

void ScriptedEngine::fail(qsizetype call, std::exception_ptr error)
{
    m_outcomes.at(call)->done = true;
    m_outcomes.at(call)->error = std::move(error);
    Q_EMIT settled(call);
}

void ScriptedEngine::failPending()
{
    for (qsizetype call = 0; call < m_outcomes.size(); ++call) {
        if (!m_outcomes.at(call)->done)
            fail(call, std::make_exception_ptr(std::runtime_error("the test ended")));
    }
}
