#include "storage/secretservicekeystore.h"

#include "storage/secretservicecalls.h"
#include "storage/storagelog.h"

#include <QCoroSignal>
#include <QFutureWatcher>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds noLimit{-1};

// Never destroyed: a thread stuck in a hung provider must not hold up exit.
QThreadPool &workerPool()
{
    static auto *pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(4);
        return threads;
    }();
    return *pool;
}

template<typename T>
struct Blocking {
    QFuture<T> future;
    std::shared_ptr<GCancellable> cancellable;
};

// Starts a blocking Secret Service call on a worker thread. A plain function,
// not a coroutine: GCC 12 destroys lambda parameters of coroutines twice (GCC bug 100611).
template<typename T, typename Call>
Blocking<T> startBlocking(Call call)
{
    auto promise = std::make_shared<QPromise<T>>();
    Blocking<T> blocking{promise->future(), SecretServiceCalls::makeCancellable()};
    promise->start();
    workerPool().start([promise, cancellable = blocking.cancellable, call = std::move(call)] {
        promise->addResult(call(cancellable.get()));
        promise->finish();
    });
    return blocking;
}

// Awaits a call without blocking the GUI thread. After `limit` (noLimit:
// never) the call is cancelled and abandoned; a late result is dropped.
template<typename T>
QCoro::Task<std::optional<T>> finish(Blocking<T> blocking, std::chrono::milliseconds limit)
{
    QFutureWatcher<T> watcher;
    watcher.setFuture(blocking.future);
    if (!blocking.future.isFinished()) {
        const auto finished = co_await qCoro(&watcher, &QFutureWatcherBase::finished, limit);
        if (!finished.has_value()) {
            SecretServiceCalls::cancel(blocking.cancellable.get());
            co_return std::nullopt;
        }
    }
    co_return blocking.future.result();
}

// The calls are started outside co_await expressions: GCC 12 destroys
// temporaries with captures inside a co_await operand twice (GCC bug 100611).
Blocking<Result<SecretServiceCalls::Lookup>> startLookup(const QString &service, const QString &account)
{
    return startBlocking<Result<SecretServiceCalls::Lookup>>([service, account](GCancellable *cancellable) {
        return SecretServiceCalls::lookup(service, account, cancellable);
    });
}

Blocking<Result<void>> startUnlock(const QString &service, const QString &account)
{
    return startBlocking<Result<void>>([service, account](GCancellable *cancellable) {
        return SecretServiceCalls::unlock(service, account, cancellable);
    });
}

Blocking<Result<bool>> startLockCheck()
{
    return startBlocking<Result<bool>>(
        [](GCancellable *cancellable) { return SecretServiceCalls::defaultCollectionLocked(cancellable); });
}

Blocking<Result<void>> startWrite(const QString &service, const QString &account, const QString &label,
                                  const QByteArray &secret)
{
    return startBlocking<Result<void>>([service, account, label, secret](GCancellable *cancellable) {
        if (secret.isEmpty())
            return SecretServiceCalls::clear(service, account, cancellable);
        return SecretServiceCalls::store(service, account, label, secret, cancellable);
    });
}

// Invalid UTF-8 is no key at all rather than a key with replacement characters.
std::optional<QString> decodeKey(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

SecretServiceKeyStore::SecretServiceKeyStore(QString service, QString legacyService,
                                             std::chrono::milliseconds responseLimit, QObject *parent)
    : QObject(parent)
    , m_service(std::move(service))
    , m_legacyService(std::move(legacyService))
    , m_responseLimit(responseLimit)
{ }

QString SecretServiceKeyStore::label(ApiKeyAccount account)
{
    return QStringLiteral("tolvanis: ") + rawValue(account);
}

// An operation that ran into an unanswered or refused call while migrating
// fails with it at once: asking again would mean another wait or another
// unlock prompt for the same answer.
QCoro::Task<KeyLookup> SecretServiceKeyStore::load(ApiKeyAccount account)
{
    const Result<void> migrated = co_await ensureMigrated();
    if (!migrated)
        co_return Failure{migrated.error()};
    co_return co_await lookup(m_service, account);
}

QCoro::Task<Result<void>> SecretServiceKeyStore::save(QString key, ApiKeyAccount account)
{
    const Result<void> migrated = co_await ensureMigrated();
    if (!migrated)
        co_return migrated;
    co_return co_await write(m_service, account, std::move(key));
}

QCoro::Task<Result<void>> SecretServiceKeyStore::remove(ApiKeyAccount account)
{
    const Result<void> migrated = co_await ensureMigrated();
    if (!migrated)
        co_return migrated;
    co_return co_await write(m_service, account, QString());
}

QCoro::Task<Result<void>> SecretServiceKeyStore::ensureMigrated()
{
    if (m_migration == Migration::Done)
        co_return Result<void>();
    if (m_migration == Migration::Running) {
        co_await qCoro(this, &SecretServiceKeyStore::migrationFinished);
        co_return Result<void>();
    }
    m_migration = Migration::Running;
    const Result<void> migrated = co_await migrateLegacyKeys();
    if (!migrated)
        qCInfo(lcStorage).noquote() << "moving keys from" << m_legacyService << "stopped:" << migrated.error();
    // Attempted once per run, whatever the outcome.
    m_migration = Migration::Done;
    Q_EMIT migrationFinished();
    co_return migrated;
}

// A legacy key moves only when the current service certainly has none, and
// the legacy item is deleted only after the copy has been read back equal:
// a failed or partial save never loses the key. The first call that goes
// unanswered or is refused ends the attempt.
QCoro::Task<Result<void>> SecretServiceKeyStore::migrateLegacyKeys()
{
    for (ApiKeyAccount account : allCases<ApiKeyAccount>()) {
        const KeyLookup current = co_await lookup(m_service, account);
        if (!current)
            co_return Failure{current.error()};
        if (current.value())
            continue;
        const KeyLookup legacy = co_await lookup(m_legacyService, account);
        if (!legacy)
            co_return Failure{legacy.error()};
        if (!legacy.value())
            continue;
        const Result<void> saved = co_await write(m_service, account, *legacy.value());
        if (!saved)
            co_return saved;
        const KeyLookup copy = co_await lookup(m_service, account);
        if (!copy)
            co_return Failure{copy.error()};
        if (copy.value().value_or(QString()) != *legacy.value())
            continue;
        const Result<void> removed = co_await write(m_legacyService, account, QString());
        if (removed)
            qCInfo(lcStorage).noquote() << "moved" << rawValue(account) << "from" << m_legacyService;
        else
            qCWarning(lcStorage).noquote()
                << "copied" << rawValue(account) << "but kept the old item:" << removed.error();
    }
    co_return Result<void>();
}

QCoro::Task<KeyLookup> SecretServiceKeyStore::lookup(QString service, ApiKeyAccount account)
{
    const QString accountName = rawValue(account);
    const auto asked = startLookup(service, accountName);
    std::optional<Result<SecretServiceCalls::Lookup>> found = co_await finish(asked, m_responseLimit);
    if (found && *found && found->value().presence == SecretServiceCalls::Presence::Locked) {
        // A locked collection is not a missing key: let the desktop ask the
        // user to unlock it, for as long as the user takes, then look again.
        const auto unlocking = startUnlock(service, accountName);
        const std::optional<Result<void>> unlocked = co_await finish(unlocking, noLimit);
        if (unlocked && !*unlocked)
            co_return logged("unlock", Failure{unlocked->error()});
        const auto askedAgain = startLookup(service, accountName);
        found = co_await finish(askedAgain, m_responseLimit);
    }
    if (!found)
        co_return unanswered("lookup");
    if (!*found)
        co_return logged("lookup", Failure{found->error()});
    switch (found->value().presence) {
    case SecretServiceCalls::Presence::Present:
        co_return KeyLookup(decodeKey(found->value().secret));
    case SecretServiceCalls::Presence::Locked:
        co_return logged("lookup", Failure{QStringLiteral("钥匙环已锁定")});
    case SecretServiceCalls::Presence::Absent:
        break;
    }
    co_return KeyLookup(std::nullopt);
}

QCoro::Task<Result<void>> SecretServiceKeyStore::write(QString service, ApiKeyAccount account, QString key)
{
    const QString accountName = rawValue(account);
    const auto checking = startLockCheck();
    const std::optional<Result<bool>> locked = co_await finish(checking, m_responseLimit);
    if (!locked)
        co_return unanswered("lock check");
    if (!*locked)
        co_return logged("lock check", Failure{locked->error()});
    if (locked->value()) {
        const auto unlocking = startUnlock(service, accountName);
        const std::optional<Result<void>> unlocked = co_await finish(unlocking, noLimit);
        if (unlocked && !*unlocked)
            co_return logged("unlock", Failure{unlocked->error()});
    }

    // Without a default collection, storing makes the service ask the user for
    // a new keyring's password: that prompt may take as long as the user takes.
    // The lock check above has already shown that the service answers.
    const auto writing = startWrite(service, accountName, label(account), key.toUtf8());
    const std::optional<Result<void>> written = co_await finish(writing, key.isEmpty() ? m_responseLimit : noLimit);
    if (!written)
        co_return unanswered(key.isEmpty() ? "removal" : "store");
    if (!*written)
        co_return logged(key.isEmpty() ? "removal" : "store", Failure{written->error()});
    co_return Result<void>();
}

Failure SecretServiceKeyStore::unanswered(const char *call) const
{
    qCWarning(lcStorage) << "Secret Service" << call << "got no answer within" << m_responseLimit.count()
                         << "ms; abandoned";
    return Failure{QStringLiteral("系统钥匙环服务没有响应")};
}

Failure SecretServiceKeyStore::logged(const char *call, Failure failure)
{
    qCWarning(lcStorage).noquote() << "Secret Service" << call << "failed:" << failure.reason;
    return failure;
}
