#include "scriptedengine.h"

#include <stdexcept>

QCoro::Task<QString> ScriptedEngine::translate(QString text, QString from, QString to)
{
    m_calls.append({text, from, to});
    const OneShot<QString> answer;
    m_answers.append(answer);
    co_return co_await answer;
}

void ScriptedEngine::failPending()
{
    // A copy: a waiter that resumes may take this engine with it.
    const QList<OneShot<QString>> answers = m_answers;
    for (OneShot<QString> answer : answers)
        answer.reject(std::runtime_error("the test ended"));
}
