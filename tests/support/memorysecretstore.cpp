#include "memorysecretstore.h"

#include <QCoroSignal>

qsizetype MemorySecretStore::record(Operation operation, KeychainAccount account, const QString &key)
{
    m_calls.append({operation, account, key});
    const qsizetype index = m_calls.size() - 1;
    if (m_holding)
        m_held.insert(index);
    return index;
}

QCoro::Task<> MemorySecretStore::answered(qsizetype call)
{
    while (m_held.contains(call))
        co_await qCoro(this, &MemorySecretStore::released);
}

QCoro::Task<SecretLookup> MemorySecretStore::load(KeychainAccount account)
{
    const qsizetype call = record(Operation::Load, account);
    const SecretLookup answer = m_lookupFailure.isEmpty() ? SecretLookup{stored(account), QString()}
                                                          : SecretLookup{std::nullopt, m_lookupFailure};
    auto waiting = answered(call);
    co_await std::move(waiting);
    co_return answer;
}

QCoro::Task<SecretWriteResult> MemorySecretStore::save(QString key, KeychainAccount account)
{
    const qsizetype call = record(Operation::Save, account, key);
    return write(call, account, std::move(key));
}

QCoro::Task<SecretWriteResult> MemorySecretStore::remove(KeychainAccount account)
{
    const qsizetype call = record(Operation::Remove, account);
    return write(call, account, QString());
}

QCoro::Task<SecretWriteResult> MemorySecretStore::write(qsizetype call, KeychainAccount account, QString key)
{
    const QString failure = m_writeFailure;
    auto waiting = answered(call);
    co_await std::move(waiting);
    if (!failure.isEmpty())
        co_return SecretWriteResult::failed(failure);
    // As in the real store, the empty text is no key at all.
    setStored(account, key.isEmpty() ? std::nullopt : std::optional<QString>(key));
    co_return SecretWriteResult::ok();
}

std::optional<QString> MemorySecretStore::stored(KeychainAccount account) const
{
    const auto found = m_stored.constFind(account);
    return found == m_stored.constEnd() ? std::nullopt : std::optional<QString>(*found);
}

void MemorySecretStore::setStored(KeychainAccount account, const std::optional<QString> &key)
{
    if (key)
        m_stored.insert(account, *key);
    else
        m_stored.remove(account);
}

void MemorySecretStore::release(qsizetype call)
{
    m_held.remove(call);
    Q_EMIT released(call);
}

void MemorySecretStore::releaseAll()
{
    m_held.clear();
    Q_EMIT released(-1);
}

QList<KeychainAccount> MemorySecretStore::lookups() const
{
    QList<KeychainAccount> accounts;
    for (const Call &call : m_calls) {
        if (call.operation == Operation::Load)
            accounts.append(call.account);
    }
    return accounts;
}
