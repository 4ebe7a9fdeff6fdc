#include "memorykeystore.h"

#include <QCoroSignal>

// Numbers the call and waits, while it is held, for its release.
QCoro::Task<> MemoryKeyStore::answered()
{
    const qsizetype call = m_calls++;
    if (m_holding)
        m_held.insert(call);
    while (m_held.contains(call))
        co_await qCoro(this, &MemoryKeyStore::released);
}

QCoro::Task<KeyLookup> MemoryKeyStore::load(ApiKeyAccount account)
{
    m_lookups.append(account);
    const KeyLookup answer = m_lookupFailure.isEmpty() ? KeyLookup(stored(account)) : Failure{m_lookupFailure};
    co_await answered();
    co_return answer;
}

QCoro::Task<Result<void>> MemoryKeyStore::save(QString key, ApiKeyAccount account)
{
    const QString failure = m_writeFailure;
    co_await answered();
    if (!failure.isEmpty())
        co_return Failure{failure};
    // As in the real store, the empty text is no key at all.
    setStored(account, key.isEmpty() ? std::nullopt : std::optional(key));
    co_return Result<void>();
}

// -1 releases every call.
void MemoryKeyStore::release(qsizetype call)
{
    if (call < 0)
        m_held.clear();
    m_held.remove(call);
    Q_EMIT released();
}
