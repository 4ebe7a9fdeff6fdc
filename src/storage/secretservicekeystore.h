#pragma once

#include "core/keystore.h"

#include <QObject>

#include <chrono>

// The API keys in the desktop's Secret Service (GNOME Keyring, KWallet, …):
// one item per (service, account), the key stored as its UTF-8 bytes. The
// first operation moves keys that an earlier version stored under the legacy
// service name, once per run; every operation waits for that move.
//
// Each Secret Service call runs on a worker thread with a cancellable, and the
// GUI thread never waits for one. A service that does not answer within
// `responseLimit` is given up on; a call that may prompt (an unlock, a store
// that creates the default keyring) may take as long as the user takes.
class SecretServiceKeyStore final : public QObject, public KeyStore
{
    Q_OBJECT

public:
    static QString standardService() { return QStringLiteral("com.quendrix.tolvanis.llmkey"); }
    static QString legacyStandardService() { return QStringLiteral("com.quendrix.selvarintomquadre.llmkey"); }
    static constexpr std::chrono::milliseconds defaultResponseLimit{5000};

    explicit SecretServiceKeyStore(QString service = standardService(), QString legacyService = legacyStandardService(),
                                   std::chrono::milliseconds responseLimit = defaultResponseLimit,
                                   QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(SecretServiceKeyStore)

    QCoro::Task<KeyLookup> load(ApiKeyAccount account) override;
    QCoro::Task<Result<void>> save(QString key, ApiKeyAccount account) override;
    QCoro::Task<Result<void>> remove(ApiKeyAccount account) override;

    // The label users see in Seahorse or KWallet.
    static QString label(ApiKeyAccount account);

Q_SIGNALS:
    void migrationFinished();

private:
    enum class Migration {
        Pending,
        Running,
        Done
    };

    // Fails, for the operation that ran the migration, with what ended it.
    QCoro::Task<Result<void>> ensureMigrated();
    QCoro::Task<Result<void>> migrateLegacyKeys();
    QCoro::Task<KeyLookup> lookup(QString service, ApiKeyAccount account);
    QCoro::Task<Result<void>> write(QString service, ApiKeyAccount account, QString key);
    // The failure of a call given up on, or of one that failed, once logged.
    Failure unanswered(const char *call) const;
    static Failure logged(const char *call, Failure failure);

    QString m_service;
    QString m_legacyService;
    std::chrono::milliseconds m_responseLimit;
    Migration m_migration = Migration::Pending;
};
