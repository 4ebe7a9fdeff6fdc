#include "storage/secretservicecalls.h"

#include <libsecret/secret.h>

#include <memory>

#include <dlfcn.h>

namespace SecretServiceCalls {
namespace {

// libsecret, with GIO and libgcrypt behind it, is opened on the first call
// rather than linked: a key is read once in a while, and loading them cost
// every launch a millisecond before the tray icon showed.
#define TOLVANIS_SECRET_FUNCTIONS(X)                                                                                   \
    X(secret_service_get_sync)                                                                                         \
    X(secret_attributes_build)                                                                                         \
    X(secret_service_search_sync)                                                                                      \
    X(secret_collection_for_alias_sync)                                                                                \
    X(secret_item_get_secret)                                                                                          \
    X(secret_value_get)                                                                                                \
    X(secret_value_unref)                                                                                              \
    X(secret_item_get_locked)                                                                                          \
    X(secret_item_delete_sync)                                                                                         \
    X(secret_collection_get_locked)                                                                                    \
    X(secret_service_unlock_sync)                                                                                      \
    X(secret_value_new)                                                                                                \
    X(secret_service_store_sync)                                                                                       \
    X(secret_service_clear_sync)                                                                                       \
    X(g_object_unref)                                                                                                  \
    X(g_cancellable_new)                                                                                               \
    X(g_cancellable_cancel)                                                                                            \
    X(g_dbus_proxy_get_object_path)

struct Library {
#define TOLVANIS_DECLARE(name) decltype(&::name) name = nullptr;
    TOLVANIS_SECRET_FUNCTIONS(TOLVANIS_DECLARE)
#undef TOLVANIS_DECLARE
};

// Null when libsecret is missing or lacks a function; loaded once, on
// whichever thread asks first, and kept for the life of the process.
const Library *loadLibrary()
{
    static const Library *loaded = []() -> const Library * {
        void *handle = dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return nullptr;
        static Library library;
        bool complete = true;
#define TOLVANIS_RESOLVE(name)                                                                                         \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                          \
    complete = complete && library.name;
        TOLVANIS_SECRET_FUNCTIONS(TOLVANIS_RESOLVE)
#undef TOLVANIS_RESOLVE
        return complete ? &library : nullptr;
    }();
    return loaded;
}

// Only after connect() succeeded, which needs the library.
const Library &lib()
{
    return *loadLibrary();
}

// Lookups match by attributes only: the schema name is not part of a search,
// so keys stored by earlier versions under another schema are still found.
const SecretSchema &schema()
{
    static const SecretSchema value = {
        "com.quendrix.tolvanis.ApiKey",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return value;
}

struct ErrorDeleter {
    void operator()(GError *error) const { g_error_free(error); }
};
struct ObjectDeleter {
    void operator()(gpointer object) const { lib().g_object_unref(object); }
};
struct TableDeleter {
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
struct ItemListDeleter {
    void operator()(GList *list) const { g_list_free_full(list, lib().g_object_unref); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorDeleter>;
using ServicePtr = std::unique_ptr<SecretService, ObjectDeleter>;
using CollectionPtr = std::unique_ptr<SecretCollection, ObjectDeleter>;
using TablePtr = std::unique_ptr<GHashTable, TableDeleter>;
using ItemList = std::unique_ptr<GList, ItemListDeleter>;

QString describe(const GError *error)
{
    return error ? QString::fromUtf8(error->message) : QStringLiteral("未知错误");
}

Result<ServicePtr> connect(GCancellable *cancellable)
{
    if (!loadLibrary())
        return Failure{QStringLiteral("无法连接系统钥匙环服务：未找到 libsecret")};
    GError *error = nullptr;
    SecretService *service = lib().secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
    ErrorPtr guard(error);
    if (!service)
        return Failure{QStringLiteral("无法连接系统钥匙环服务：%1").arg(describe(error))};
    return ServicePtr(service);
}

TablePtr attributes(const QString &service, const QString &account)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    return TablePtr(lib().secret_attributes_build(&schema(), "service", serviceBytes.constData(), "account",
                                                  accountBytes.constData(), nullptr));
}

Failure readFailure(const GError *error)
{
    return Failure{QStringLiteral("读取钥匙环失败：%1").arg(describe(error))};
}

Result<ItemList> search(SecretService *secretService, const QString &service, const QString &account,
                        SecretSearchFlags flags, GCancellable *cancellable)
{
    GError *error = nullptr;
    TablePtr query = attributes(service, account);
    ItemList items(lib().secret_service_search_sync(secretService, &schema(), query.get(), flags, cancellable, &error));
    ErrorPtr guard(error);
    if (error)
        return readFailure(error);
    return items;
}

// No collection, and no failure, when the service has no default collection.
Result<CollectionPtr> defaultCollection(SecretService *secretService, GCancellable *cancellable)
{
    GError *error = nullptr;
    CollectionPtr collection(lib().secret_collection_for_alias_sync(secretService, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, cancellable, &error));
    ErrorPtr guard(error);
    if (error)
        return readFailure(error);
    return collection;
}

QByteArray secretOf(SecretItem *item)
{
    SecretValue *value = lib().secret_item_get_secret(item);
    if (!value)
        return {};
    gsize length = 0;
    const gchar *bytes = lib().secret_value_get(value, &length);
    QByteArray secret(bytes, static_cast<qsizetype>(length));
    lib().secret_value_unref(value);
    return secret;
}

QByteArray objectPath(gpointer proxy)
{
    return QByteArray(lib().g_dbus_proxy_get_object_path(static_cast<GDBusProxy *>(proxy)));
}

// Lookups take the first unlocked item with the attributes, whatever its schema
// or collection, so an older item elsewhere could still be the key loaded:
// every unlocked match but the one just stored is deleted.
Result<void> deleteOtherItems(SecretService *secretService, const QString &service, const QString &account,
                              const QByteArray &secret, GCancellable *cancellable)
{
    const Result<CollectionPtr> collection = defaultCollection(secretService, cancellable);
    if (!collection)
        return Failure{collection.error()};
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    const Result<ItemList> items = search(secretService, service, account, flags, cancellable);
    if (!items)
        return Failure{items.error()};
    if (!collection.value())
        return {};
    const QByteArray inDefault = objectPath(collection.value().get()) + '/';
    SecretItem *stored = nullptr;
    for (GList *node = items.value().get(); node && !stored; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (!lib().secret_item_get_locked(item) && objectPath(item).startsWith(inDefault) && secretOf(item) == secret)
            stored = item;
    }
    // Without the new item in sight, deleting could take the only copy of the key.
    if (!stored)
        return {};
    for (GList *node = items.value().get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (item == stored || lib().secret_item_get_locked(item))
            continue;
        GError *error = nullptr;
        lib().secret_item_delete_sync(item, cancellable, &error);
        ErrorPtr guard(error);
        if (error)
            return Failure{describe(error)};
    }
    return {};
}

} // namespace

std::shared_ptr<GCancellable> makeCancellable()
{
    if (!loadLibrary())
        return {}; // every call fails at once, with nothing to cancel
    return std::shared_ptr<GCancellable>(lib().g_cancellable_new(),
                                         [](GCancellable *cancellable) { lib().g_object_unref(cancellable); });
}

void cancel(GCancellable *cancellable)
{
    if (cancellable)
        lib().g_cancellable_cancel(cancellable);
}

Result<Lookup> lookup(const QString &service, const QString &account, GCancellable *cancellable)
{
    const Result<ServicePtr> secretService = connect(cancellable);
    if (!secretService)
        return Failure{secretService.error()};
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    const Result<ItemList> items = search(secretService.value().get(), service, account, flags, cancellable);
    if (!items)
        return Failure{items.error()};
    Lookup result;
    for (GList *node = items.value().get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (lib().secret_item_get_locked(item)) {
            result.presence = Presence::Locked;
            continue;
        }
        SecretValue *value = lib().secret_item_get_secret(item);
        if (!value)
            continue;
        gsize length = 0;
        const gchar *bytes = lib().secret_value_get(value, &length);
        result.presence = Presence::Present;
        result.secret = QByteArray(bytes, static_cast<qsizetype>(length));
        lib().secret_value_unref(value);
        break;
    }
    return result;
}

Result<bool> defaultCollectionLocked(GCancellable *cancellable)
{
    const Result<ServicePtr> secretService = connect(cancellable);
    if (!secretService)
        return Failure{secretService.error()};
    const Result<CollectionPtr> collection = defaultCollection(secretService.value().get(), cancellable);
    if (!collection)
        return Failure{collection.error()};
    return collection.value() && lib().secret_collection_get_locked(collection.value().get());
}

Result<void> unlock(const QString &service, const QString &account, GCancellable *cancellable)
{
    const Result<ServicePtr> secretService = connect(cancellable);
    if (!secretService)
        return Failure{secretService.error()};
    // Whatever is locked and could be found is unlocked; a failure to look
    // counts only when nothing was found to unlock.
    GList *objects = nullptr;
    const Result<CollectionPtr> collection = defaultCollection(secretService.value().get(), cancellable);
    if (collection && collection.value() && lib().secret_collection_get_locked(collection.value().get()))
        objects = g_list_append(objects, collection.value().get());
    const Result<ItemList> items = search(secretService.value().get(), service, account, SECRET_SEARCH_ALL,
                                          cancellable);
    for (GList *node = items ? items.value().get() : nullptr; node; node = node->next) {
        if (lib().secret_item_get_locked(static_cast<SecretItem *>(node->data)))
            objects = g_list_append(objects, node->data);
    }
    if (!objects) {
        if (!items)
            return Failure{items.error()};
        if (!collection)
            return Failure{collection.error()};
        return {};
    }

    GError *error = nullptr;
    GList *unlocked = nullptr;
    const gint count = lib().secret_service_unlock_sync(secretService.value().get(), objects, cancellable, &unlocked,
                                                        &error);
    ErrorPtr guard(error);
    const bool complete = count == static_cast<gint>(g_list_length(objects));
    g_list_free_full(unlocked, lib().g_object_unref);
    g_list_free(objects);
    if (error)
        return Failure{QStringLiteral("钥匙环已锁定：%1").arg(describe(error))};
    if (!complete)
        return Failure{QStringLiteral("钥匙环已锁定")};
    return {};
}

Result<void> store(const QString &service, const QString &account, const QString &label, const QByteArray &secret,
                   GCancellable *cancellable)
{
    const Result<ServicePtr> secretService = connect(cancellable);
    if (!secretService)
        return Failure{secretService.error()};
    SecretValue *value = lib().secret_value_new(secret.constData(), secret.size(), "text/plain");
    TablePtr itemAttributes = attributes(service, account);
    const QByteArray labelBytes = label.toUtf8();
    GError *error = nullptr;
    // Storing replaces the secret of an item with the same attributes, so the
    // old key stays in place until the new one is written.
    const gboolean stored = lib().secret_service_store_sync(secretService.value().get(), &schema(),
                                                            itemAttributes.get(), SECRET_COLLECTION_DEFAULT,
                                                            labelBytes.constData(), value, cancellable, &error);
    ErrorPtr guard(error);
    lib().secret_value_unref(value);
    if (!stored)
        return Failure{describe(error)};
    return deleteOtherItems(secretService.value().get(), service, account, secret, cancellable);
}

Result<void> clear(const QString &service, const QString &account, GCancellable *cancellable)
{
    const Result<ServicePtr> secretService = connect(cancellable);
    if (!secretService)
        return Failure{secretService.error()};
    TablePtr query = attributes(service, account);
    GError *error = nullptr;
    lib().secret_service_clear_sync(secretService.value().get(), &schema(), query.get(), cancellable, &error);
    ErrorPtr guard(error);
    if (error)
        return Failure{describe(error)};
    return {};
}

} // namespace SecretServiceCalls
