#include "memorysecretstore.h"

QCoro::Task<SecretLookup> MemorySecretStore::load(KeychainAccount account)
{
    m_lookups.append(account);
    if (!m_failure.isEmpty())
        co_return SecretLookup{std::nullopt, m_failure};
    if (!m_keys.contains(account))
        co_return SecretLookup{};
    co_return SecretLookup{m_keys.value(account), QString()};
}

QCoro::Task<SecretWriteResult> MemorySecretStore::save(QString key, KeychainAccount account)
{
    if (key.isEmpty())
        m_keys.remove(account);
    else
        m_keys.insert(account, key);
    co_return SecretWriteResult::ok();
}

QCoro::Task<SecretWriteResult> MemorySecretStore::remove(KeychainAccount account)
{
    m_keys.remove(account);
    co_return SecretWriteResult::ok();
}
