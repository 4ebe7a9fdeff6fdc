#pragma once

#include "keystore.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>

// API keys kept in memory, for tests of code that reads and writes them. Every
// call is recorded. A test can make lookups or writes fail with a reason, and
// can hold answers back and release them one by one, in any order: a lookup
// answers with what was stored when it was asked, a write takes effect when it
// answers.
class MemoryKeyStore final : public QObject, public KeyStore
{
    Q_OBJECT

public:
    enum class Operation { Load, Save, Remove };
    struct Call {
        Operation operation;
        ApiKeyAccount account;
        QString key;
    };

    QCoro::Task<KeyLookup> load(ApiKeyAccount account) override;
    QCoro::Task<Result<void>> save(QString key, ApiKeyAccount account) override
    {
        return write(Operation::Save, account, std::move(key));
    }
    QCoro::Task<Result<void>> remove(ApiKeyAccount account) override { return write(Operation::Remove, account, {}); }

    std::optional<QString> stored(ApiKeyAccount account) const;
    void setStored(ApiKeyAccount account, const std::optional<QString> &key);

    // Calls made from now on fail with this reason; the empty reason ends it.
    void failLookupsWith(const QString &reason) { m_lookupFailure = reason; }
    void failWritesWith(const QString &reason) { m_writeFailure = reason; }

    // While holding, calls made wait until released.
    void holdAnswers(bool hold) { m_holding = hold; }
    void release(qsizetype call);
    void releaseAll() { release(-1); }

    const QList<Call> &calls() const { return m_calls; }
    // The accounts looked up so far, in order.
    QList<ApiKeyAccount> lookups() const;

Q_SIGNALS:
    void released();

private:
    QCoro::Task<> answered(Operation operation, ApiKeyAccount account, const QString &key = {});
    QCoro::Task<Result<void>> write(Operation operation, ApiKeyAccount account, QString key);

    QMap<ApiKeyAccount, QString> m_stored;
    QList<Call> m_calls;
    QSet<qsizetype> m_held;
    QString m_lookupFailure;
    QString m_writeFailure;
    bool m_holding = false;
};
