#pragma once

#include "core/result.h"

#include <QByteArray>
#include <QString>

#include <memory>

typedef struct _GCancellable GCancellable;

// Blocking calls into the Freedesktop Secret Service through libsecret. Each
// may take as long as the service takes (a hung provider blocks for ~50 s), so
// they run only on worker threads, each with a cancellable the caller can fire.
// Items are identified by the attributes `service` and `account` alone, so
// items written under another schema name still match.
namespace SecretServiceCalls {

// A cancellable for one call; cancel() may be called from any thread.
std::shared_ptr<GCancellable> makeCancellable();
void cancel(GCancellable *cancellable);

enum class Presence {
    Absent,
    Present,
    Locked
};

struct Lookup {
    Presence presence = Presence::Absent;
    QByteArray secret;
};

// Fails when the service could not be asked.
Result<Lookup> lookup(const QString &service, const QString &account, GCancellable *cancellable);

// Whether the collection new items go to is locked.
Result<bool> defaultCollectionLocked(GCancellable *cancellable);

// Asks the service to unlock the default collection and every locked item of
// (service, account); the desktop shows its own prompt.
Result<void> unlock(const QString &service, const QString &account, GCancellable *cancellable);

// Creates the item or replaces its secret in one step, then deletes every other
// unlocked item of (service, account). May prompt for a new
// keyring's password when there is no default collection.
Result<void> store(const QString &service, const QString &account, const QString &label, const QByteArray &secret,
                   GCancellable *cancellable);

// Deletes every item of (service, account); deleting nothing succeeds.
Result<void> clear(const QString &service, const QString &account, GCancellable *cancellable);

} // namespace SecretServiceCalls
