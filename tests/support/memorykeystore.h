#pragma once

#include "core/keystore.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>

// API keys kept in memory, for tests of code that reads and writes them. A
// test can make lookups or writes fail with a reason, and can hold answers
// back and release them one by one, in any order: a lookup answers with what
// was stored when it was asked, a write takes effect when it answers.
class MemoryKeyStore final : public QObject, public KeyStore
{
    Q_OBJECT

public:
    QCoro::Task<KeyLookup> load(ApiKeyAccount account) override;
    QCoro::Task<Result<void>> save(QString key, ApiKeyAccount account) override;
    QCoro::Task<Result<void>> remove(ApiKeyAccount account) override { return save({}, account); }

    std::optional<QString> stored(ApiKeyAccount account) const { return m_stored.value(account); }
    void setStored(ApiKeyAccount account, const std::optional<QString> &key) { m_stored.insert(account, key); }

    // Calls made from now on fail with this reason; the empty reason ends it.
    void failLookupsWith(const QString &reason) { m_lookupFailure = reason; }
    void failWritesWith(const QString &reason) { m_writeFailure = reason; }

    // While holding, calls made wait until released; calls are numbered from 0 in the order made.
    void holdAnswers(bool hold) { m_holding = hold; }
    void release(qsizetype call);
    void releaseAll() { release(-1); }

    // The accounts looked up so far, in order.
    const QList<ApiKeyAccount> &lookups() const { return m_lookups; }

Q_SIGNALS:
    void released();

private:
    QCoro::Task<> answered();

    QMap<ApiKeyAccount, std::optional<QString>> m_stored;
    QList<ApiKeyAccount> m_lookups;
    qsizetype m_calls = 0;
    QSet<qsizetype> m_held;
    QString m_lookupFailure;
    QString m_writeFailure;
    bool m_holding = false;
};
