#pragma once

#include "apikeyaccount.h"

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

// Why `key` cannot be used as an API key, or nothing. Keys go into an HTTP
// header as they are, where a line break or another control character would
// end the header or add one of the sender's choosing.
inline std::optional<QString> apiKeyDefect(const QString &key)
{
    for (const QChar c : key) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("API Key 含有换行符或控制字符");
    }
    return std::nullopt;
}

// Where the API keys live. Every operation is asynchronous and must be awaited
// on the GUI thread; none of them blocks it.
class KeyStore
{
public:
    virtual ~KeyStore() = default;

    virtual QCoro::Task<SecretLookup> load(ApiKeyAccount account) = 0;
    // Replaces the stored key in one step; saving the empty text removes it.
    virtual QCoro::Task<SecretWriteResult> save(QString key, ApiKeyAccount account) = 0;
    virtual QCoro::Task<SecretWriteResult> remove(ApiKeyAccount account) = 0;
};
