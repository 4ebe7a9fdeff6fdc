#include "memorykeystore.h"

#include <QCoroSignal>

qsizetype MemoryKeyStore::record(Operation operation, ApiKeyAccount account, const QString &key)
{
    m_calls.append({operation, account, key});
    const qsizetype index = m_calls.size() - 1;
    if (m_holding)
        m_held.insert(index);
    return index;
}

QCoro::Task<> MemoryKeyStore::answered(qsizetype call)
{
    while (m_held.contains(call))
        co_await qCoro(this, &MemoryKeyStore::released);
}

QCoro::Task<KeyLookup> MemoryKeyStore::load(ApiKeyAccount account)
{
    const qsizetype call = record(Operation::Load, account);
    const KeyLookup answer = m_lookupFailure.isEmpty() ? KeyLookup(stored(account)) : Failure{m_lookupFailure};
    auto waiting = answered(call);
    co_await std::move(waiting);
    co_return answer;
}

QCoro::Task<Result<void>> MemoryKeyStore::save(QString key, ApiKeyAccount account)
{
    const qsizetype call = record(Operation::Save, account, key);
    return write(call, account, std::move(key));
}

QCoro::Task<Result<void>> MemoryKeyStore::remove(ApiKeyAccount account)
{
    const qsizetype call = record(Operation::Remove, account);
    return write(call, account, QString());
}

QCoro::Task<Result<void>> MemoryKeyStore::write(qsizetype call, ApiKeyAccount account, QString key)
{
    const QString failure = m_writeFailure;
    auto waiting = answered(call);
    co_await std::move(waiting);
    if (!failure.isEmpty())
        co_return Failure{failure};
    // As in the real store, the empty text is no key at all.
    setStored(account, key.isEmpty() ? std::nullopt : std::optional<QString>(key));
    co_return Result<void>();
}

std::optional<QString> MemoryKeyStore::stored(ApiKeyAccount account) const
{
    const auto found = m_stored.constFind(account);
    return found == m_stored.constEnd() ? std::nullopt : std::optional<QString>(*found);
}

void MemoryKeyStore::setStored(ApiKeyAccount account, const std::optional<QString> &key)
{
    if (key)
        m_stored.insert(account, *key);
    else
        m_stored.remove(account);
}

void MemoryKeyStore::release(qsizetype call)
{
    m_held.remove(call);
    Q_EMIT released(call);
}

void MemoryKeyStore::releaseAll()
{
    m_held.clear();
    Q_EMIT released(-1);
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
