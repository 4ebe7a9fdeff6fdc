#pragma once

#include "keystore.h"

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
                            std::chrono::milliseconds responseLimit = defaultResponseLimit, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(SecretServiceKeyStore)

    // The program's one instance, over the standard service names.
    static SecretServiceKeyStore &shared();

    QCoro::Task<SecretLookup> load(ApiKeyAccount account) override;
    QCoro::Task<SecretWriteResult> save(QString key, ApiKeyAccount account) override;
    QCoro::Task<SecretWriteResult> remove(ApiKeyAccount account) override;

    // The label users see in Seahorse or KWallet.
    static QString label(ApiKeyAccount account);

Q_SIGNALS:
    void migrationFinished();

private:
    enum class Migration { Pending, Running, Done };

    // The failure that ended the migration, for the operation that ran it.
    QCoro::Task<QString> ensureMigrated();
    QCoro::Task<QString> migrateLegacyKeys();
    QCoro::Task<SecretLookup> lookup(QString service, ApiKeyAccount account);
    QCoro::Task<SecretWriteResult> write(QString service, ApiKeyAccount account, QString key);

    QString m_service;
    QString m_legacyService;
    std::chrono::milliseconds m_responseLimit;
    Migration m_migration = Migration::Pending;
};
