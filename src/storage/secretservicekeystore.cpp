#include "secretservicekeystore.h"

#include "secretservicecalls.h"

#include <QCoroSignal>
#include <QFutureWatcher>
#include <QPromise>
#include <QStringDecoder>
#include <QThreadPool>

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds noLimit{-1};

QString unresponsiveText()
{
    return QStringLiteral("系统钥匙环服务没有响应");
}

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

template <typename T>
struct Blocking {
    QFuture<T> future;
    std::shared_ptr<GCancellable> cancellable;
};

// Starts a blocking Secret Service call on a worker thread. A plain function,
// not a coroutine: GCC 12 destroys lambda parameters of coroutines twice.
template <typename T, typename Call>
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
template <typename T>
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

using LockState = std::pair<bool, QString>;

// The calls are started outside co_await expressions: GCC 12 destroys
// temporaries with captures inside a co_await operand twice.
Blocking<SecretServiceCalls::Lookup> startLookup(const QString &service, const QString &account)
{
    return startBlocking<SecretServiceCalls::Lookup>([service, account](GCancellable *cancellable) {
        return SecretServiceCalls::lookup(service, account, cancellable);
    });
}

Blocking<QString> startUnlock(const QString &service, const QString &account)
{
    return startBlocking<QString>([service, account](GCancellable *cancellable) {
        return SecretServiceCalls::unlock(service, account, cancellable);
    });
}

Blocking<LockState> startLockCheck()
{
    return startBlocking<LockState>([](GCancellable *cancellable) {
        QString failure;
        const bool locked = SecretServiceCalls::defaultCollectionLocked(cancellable, failure);
        return LockState(locked, failure);
    });
}

Blocking<QString> startWrite(const QString &service, const QString &account, const QString &label,
                             const QByteArray &secret)
{
    return startBlocking<QString>([service, account, label, secret](GCancellable *cancellable) {
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

SecretServiceKeyStore::SecretServiceKeyStore(QString service, QString legacyService, std::chrono::milliseconds responseLimit,
                               QObject *parent)
    : QObject(parent)
    , m_service(std::move(service))
    , m_legacyService(std::move(legacyService))
    , m_responseLimit(responseLimit)
{
}

SecretServiceKeyStore &SecretServiceKeyStore::shared()
{
    static SecretServiceKeyStore helper;
    return helper;
}

QString SecretServiceKeyStore::label(ApiKeyAccount account)
{
    return QStringLiteral("tolvanis: ") + rawValue(account);
}

// An operation that ran into an unanswered or refused call while migrating
// fails with it at once: asking again would mean another wait or another
// unlock prompt for the same answer.
QCoro::Task<SecretLookup> SecretServiceKeyStore::load(ApiKeyAccount account)
{
    const QString failure = co_await ensureMigrated();
    if (!failure.isEmpty())
        co_return SecretLookup{std::nullopt, failure};
    co_return co_await lookup(m_service, account);
}

QCoro::Task<SecretWriteResult> SecretServiceKeyStore::save(QString key, ApiKeyAccount account)
{
    const QString failure = co_await ensureMigrated();
    if (!failure.isEmpty())
        co_return SecretWriteResult::failed(failure);
    co_return co_await write(m_service, account, std::move(key));
}

QCoro::Task<SecretWriteResult> SecretServiceKeyStore::remove(ApiKeyAccount account)
{
    const QString failure = co_await ensureMigrated();
    if (!failure.isEmpty())
        co_return SecretWriteResult::failed(failure);
    co_return co_await write(m_service, account, QString());
}

QCoro::Task<QString> SecretServiceKeyStore::ensureMigrated()
{
    if (m_migration == Migration::Done)
        co_return QString();
    if (m_migration == Migration::Running) {
        co_await qCoro(this, &SecretServiceKeyStore::migrationFinished);
        co_return QString();
    }
    m_migration = Migration::Running;
    const QString failure = co_await migrateLegacyKeys();
    // Attempted once per run, whatever the outcome.
    m_migration = Migration::Done;
    Q_EMIT migrationFinished();
    co_return failure;
}

// A legacy key moves only when the current service certainly has none, and
// the legacy item is deleted only after the copy has been read back equal:
// a failed or partial save never loses the key. The first call that goes
// unanswered or is refused ends the attempt.
QCoro::Task<QString> SecretServiceKeyStore::migrateLegacyKeys()
{
    for (ApiKeyAccount account : allCases<ApiKeyAccount>()) {
        const SecretLookup current = co_await lookup(m_service, account);
        if (!current.failure.isEmpty())
            co_return current.failure;
        if (current.value)
            continue;
        const SecretLookup legacy = co_await lookup(m_legacyService, account);
        if (!legacy.failure.isEmpty())
            co_return legacy.failure;
        if (!legacy.value)
            continue;
        const SecretWriteResult saved = co_await write(m_service, account, *legacy.value);
        if (!saved.succeeded)
            co_return saved.reason;
        const SecretLookup copy = co_await lookup(m_service, account);
        if (!copy.failure.isEmpty())
            co_return copy.failure;
        if (copy.value.value_or(QString()) != *legacy.value)
            continue;
        co_await write(m_legacyService, account, QString());
    }
    co_return QString();
}

QCoro::Task<SecretLookup> SecretServiceKeyStore::lookup(QString service, ApiKeyAccount account)
{
    const QString accountName = rawValue(account);
    const auto asked = startLookup(service, accountName);
    std::optional<SecretServiceCalls::Lookup> found = co_await finish(asked, m_responseLimit);
    if (found && found->failure.isEmpty() && found->presence == SecretServiceCalls::Presence::Locked) {
        // A locked collection is not a missing key: let the desktop ask the
        // user to unlock it, for as long as the user takes, then look again.
        const auto unlocking = startUnlock(service, accountName);
        const std::optional<QString> refused = co_await finish(unlocking, noLimit);
        if (refused && !refused->isEmpty())
            co_return SecretLookup{std::nullopt, *refused};
        const auto askedAgain = startLookup(service, accountName);
        found = co_await finish(askedAgain, m_responseLimit);
    }
    if (!found)
        co_return SecretLookup{std::nullopt, unresponsiveText()};
    if (!found->failure.isEmpty())
        co_return SecretLookup{std::nullopt, found->failure};
    switch (found->presence) {
    case SecretServiceCalls::Presence::Present:
        co_return SecretLookup{decodeKey(found->secret), QString()};
    case SecretServiceCalls::Presence::Locked:
        co_return SecretLookup{std::nullopt, QStringLiteral("钥匙环已锁定")};
    case SecretServiceCalls::Presence::Absent:
        break;
    }
    co_return SecretLookup{};
}

QCoro::Task<SecretWriteResult> SecretServiceKeyStore::write(QString service, ApiKeyAccount account, QString key)
{
    const QString accountName = rawValue(account);
    const auto checking = startLockCheck();
    const std::optional<LockState> lockState = co_await finish(checking, m_responseLimit);
    if (!lockState)
        co_return SecretWriteResult::failed(unresponsiveText());
    if (!lockState->second.isEmpty())
        co_return SecretWriteResult::failed(lockState->second);
    if (lockState->first) {
        const auto unlocking = startUnlock(service, accountName);
        const std::optional<QString> refused = co_await finish(unlocking, noLimit);
        if (refused && !refused->isEmpty())
            co_return SecretWriteResult::failed(*refused);
    }

    // Without a default collection, storing makes the service ask the user for
    // a new keyring's password: that prompt may take as long as the user takes.
    // The lock check above has already shown that the service answers.
    const auto writing = startWrite(service, accountName, label(account), key.toUtf8());
    const std::optional<QString> failure = co_await finish(writing, key.isEmpty() ? m_responseLimit : noLimit);
    if (!failure)
        co_return SecretWriteResult::failed(unresponsiveText());
    if (!failure->isEmpty())
        co_return SecretWriteResult::failed(*failure);
    co_return SecretWriteResult::ok();
}
