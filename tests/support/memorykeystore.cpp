#include "memorykeystore.h"

#include <QCoroSignal>

// Records the call and waits, while it is held, for its release.
QCoro::Task<> MemoryKeyStore::answered(Operation operation, ApiKeyAccount account, const QString &key)
{
    m_calls.append({operation, account, key});
    const qsizetype call = m_calls.size() - 1;
    if (m_holding)
        m_held.insert(call);
    while (m_held.contains(call))
        co_await qCoro(this, &MemoryKeyStore::released);
}

QCoro::Task<KeyLookup> MemoryKeyStore::load(ApiKeyAccount account)
{
    const KeyLookup answer = m_lookupFailure.isEmpty() ? KeyLookup(stored(account)) : Failure{m_lookupFailure};
    auto waiting = answered(Operation::Load, account);
    co_await std::move(waiting);
    co_return answer;
}

QCoro::Task<Result<void>> MemoryKeyStore::write(Operation operation, ApiKeyAccount account, QString key)
{
    const QString failure = m_writeFailure;
    auto waiting = answered(operation, account, key);
    co_await std::move(waiting);
    if (!failure.isEmpty())
        co_return Failure{failure};
    // As in the real store, the empty text is no key at all.
    setStored(account, key.isEmpty() ? std::nullopt : std::optional<QString>(key));
    co_return Result<void>();
}

std::optional<QString> MemoryKeyStore::stored(ApiKeyAccount account) const
{
    return m_stored.contains(account) ? std::optional<QString>(m_stored.value(account)) : std::nullopt;
}

void MemoryKeyStore::setStored(ApiKeyAccount account, const std::optional<QString> &key)
{
    if (key)
        m_stored.insert(account, *key);
    else
        m_stored.remove(account);
}

// -1 releases every call.
void MemoryKeyStore::release(qsizetype call)
{
    if (call < 0)
        m_held.clear();
    m_held.remove(call);
    Q_EMIT released();
}

QList<ApiKeyAccount> MemoryKeyStore::lookups() const
{
    QList<ApiKeyAccount> accounts;
    for (const Call &call : m_calls) {
        if (call.operation == Operation::Load)
            accounts.append(call.account);
    }
    return accounts;
}
