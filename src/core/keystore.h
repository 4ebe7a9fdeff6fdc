#pragma once

#include "core/apikeyaccount.h"
#include "core/result.h"

#include <QCoroTask>
#include <QString>

#include <optional>

// What a lookup found: the stored key, or no value when nothing is stored.
// A store that could not answer fails instead, so the two never look alike.
using KeyLookup = Result<std::optional<QString>>;

// Fails when `key` cannot be used as an API key. Keys go into an HTTP header
// as they are, where a line break or another control character would end the
// header or add one of the sender's choosing.
inline Result<void> checkAPIKey(const QString &key)
{
    for (const QChar c : key) {
        if (c.category() == QChar::Other_Control)
            return Failure{QStringLiteral("API Key 含有换行符或控制字符")};
    }
    return {};
}

// Where the API keys live. Every operation is asynchronous and must be awaited
// on the GUI thread; none of them blocks it. A failed write's reason is shown
// to the user after "保存失败：" and never contains the secret itself.
class KeyStore
{
public:
    virtual ~KeyStore() = default;

    virtual QCoro::Task<KeyLookup> load(ApiKeyAccount account) = 0;
    // Replaces the stored key in one step; saving the empty text removes it.
    virtual QCoro::Task<Result<void>> save(QString key, ApiKeyAccount account) = 0;
    virtual QCoro::Task<Result<void>> remove(ApiKeyAccount account) = 0;
};
