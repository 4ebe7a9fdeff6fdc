#pragma once

#include "secretstore.h"

#include <QList>
#include <QMap>

// Keys held in memory, for testing code that reads them. Records which
// accounts were looked up, so a test can tell that a key was never read.
class MemorySecretStore final : public SecretStore
{
public:
    void setKey(KeychainAccount account, const QString &key) { m_keys.insert(account, key); }
    // A store that cannot answer (locked, absent, hung): lookups carry this reason.
    void setFailure(const QString &reason) { m_failure = reason; }
    const QList<KeychainAccount> &lookups() const { return m_lookups; }

    QCoro::Task<SecretLookup> load(KeychainAccount account) override;
    QCoro::Task<SecretWriteResult> save(QString key, KeychainAccount account) override;
    QCoro::Task<SecretWriteResult> remove(KeychainAccount account) override;

private:
    QMap<KeychainAccount, QString> m_keys;
    QList<KeychainAccount> m_lookups;
    QString m_failure;
};
