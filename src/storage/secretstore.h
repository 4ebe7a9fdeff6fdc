#pragma once

#include "keychainaccount.h"

#include <QCoroTask>
#include <QString>

#include <optional>

// What a lookup found. `value` is empty both when nothing is stored and when
// the store could not answer; `failure` tells the two apart.
struct SecretLookup {
    std::optional<QString> value;
    QString failure;
};

// The outcome of a save or a removal; `reason` is shown to the user after
// "保存失败：" and never contains the secret itself.
struct SecretWriteResult {
    bool succeeded = true;
    QString reason;

    static SecretWriteResult ok() { return {}; }
    static SecretWriteResult failed(QString why) { return {false, std::move(why)}; }
};

// Where the API keys live. Every operation is asynchronous and must be awaited
// on the GUI thread; none of them blocks it.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    virtual QCoro::Task<SecretLookup> load(KeychainAccount account) = 0;
    // Replaces the stored key in one step; saving the empty text removes it.
    virtual QCoro::Task<SecretWriteResult> save(QString key, KeychainAccount account) = 0;
    virtual QCoro::Task<SecretWriteResult> remove(KeychainAccount account) = 0;
};
