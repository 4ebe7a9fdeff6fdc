#include "secretservicecalls.h"

#include <libsecret/secret.h>

#include <memory>

namespace SecretServiceCalls {
namespace {

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
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return value;
}

struct ErrorDeleter {
    void operator()(GError *error) const { g_error_free(error); }
};
struct ObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct TableDeleter {
    void operator()(GHashTable *table) const { g_hash_table_unref(table); }
};
struct ItemListDeleter {
    void operator()(GList *list) const { g_list_free_full(list, g_object_unref); }
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

ServicePtr connect(GCancellable *cancellable, QString &failure)
{
    GError *error = nullptr;
    SecretService *service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, cancellable, &error);
    ErrorPtr guard(error);
    if (!service)
        failure = QStringLiteral("无法连接系统钥匙环服务：%1").arg(describe(error));
    return ServicePtr(service);
}

TablePtr attributes(const QString &service, const QString &account)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    return TablePtr(secret_attributes_build(&schema(), "service", serviceBytes.constData(), "account",
                                            accountBytes.constData(), nullptr));
}

ItemList search(SecretService *secretService, const QString &service, const QString &account,
                SecretSearchFlags flags, GCancellable *cancellable, QString &failure)
{
    GError *error = nullptr;
    TablePtr query = attributes(service, account);
    GList *items = secret_service_search_sync(secretService, &schema(), query.get(), flags, cancellable, &error);
    ErrorPtr guard(error);
    if (error)
        failure = QStringLiteral("读取钥匙环失败：%1").arg(describe(error));
    return ItemList(items);
}

CollectionPtr defaultCollection(SecretService *secretService, GCancellable *cancellable, QString &failure)
{
    GError *error = nullptr;
    SecretCollection *collection = secret_collection_for_alias_sync(secretService, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, cancellable, &error);
    ErrorPtr guard(error);
    if (error)
        failure = QStringLiteral("读取钥匙环失败：%1").arg(describe(error));
    return CollectionPtr(collection);
}

QByteArray secretOf(SecretItem *item)
{
    SecretValue *value = secret_item_get_secret(item);
    if (!value)
        return {};
    gsize length = 0;
    const gchar *bytes = secret_value_get(value, &length);
    QByteArray secret(bytes, static_cast<qsizetype>(length));
    secret_value_unref(value);
    return secret;
}

QByteArray objectPath(gpointer proxy)
{
    return QByteArray(g_dbus_proxy_get_object_path(G_DBUS_PROXY(proxy)));
}

// Lookups take the first unlocked item with the attributes, whatever its schema
// or collection, so an older item elsewhere could still be the key loaded:
// every unlocked match but the one just stored is deleted.
QString deleteOtherItems(SecretService *secretService, const QString &service, const QString &account,
                         const QByteArray &secret, GCancellable *cancellable)
{
    QString failure;
    CollectionPtr collection = defaultCollection(secretService, cancellable, failure);
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    ItemList items = search(secretService, service, account, flags, cancellable, failure);
    if (!collection || !failure.isEmpty())
        return failure;
    const QByteArray inDefault = objectPath(collection.get()) + '/';
    SecretItem *stored = nullptr;
    for (GList *node = items.get(); node && !stored; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (!secret_item_get_locked(item) && objectPath(item).startsWith(inDefault) && secretOf(item) == secret)
            stored = item;
    }
    // Without the new item in sight, deleting could take the only copy of the key.
    if (!stored)
        return {};
    for (GList *node = items.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (item == stored || secret_item_get_locked(item))
            continue;
        GError *error = nullptr;
        secret_item_delete_sync(item, cancellable, &error);
        ErrorPtr guard(error);
        if (error)
            return describe(error);
    }
    return {};
}

} // namespace

std::shared_ptr<GCancellable> makeCancellable()
{
    return std::shared_ptr<GCancellable>(g_cancellable_new(), [](GCancellable *cancellable) {
        g_object_unref(cancellable);
    });
}

void cancel(GCancellable *cancellable)
{
    g_cancellable_cancel(cancellable);
}

Lookup lookup(const QString &service, const QString &account, GCancellable *cancellable)
{
    Lookup result;
    ServicePtr secretService = connect(cancellable, result.failure);
    if (!secretService)
        return result;
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    ItemList items = search(secretService.get(), service, account, flags, cancellable, result.failure);
    for (GList *node = items.get(); node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        if (secret_item_get_locked(item)) {
            result.presence = Presence::Locked;
            continue;
        }
        SecretValue *value = secret_item_get_secret(item);
        if (!value)
            continue;
        gsize length = 0;
        const gchar *bytes = secret_value_get(value, &length);
        result.presence = Presence::Present;
        result.secret = QByteArray(bytes, static_cast<qsizetype>(length));
        secret_value_unref(value);
        break;
    }
    return result;
}

bool defaultCollectionLocked(GCancellable *cancellable, QString &failure)
{
    ServicePtr secretService = connect(cancellable, failure);
    if (!secretService)
        return false;
    CollectionPtr collection = defaultCollection(secretService.get(), cancellable, failure);
    return collection && secret_collection_get_locked(collection.get());
}

QString unlock(const QString &service, const QString &account, GCancellable *cancellable)
{
    QString failure;
    ServicePtr secretService = connect(cancellable, failure);
    if (!secretService)
        return failure;
    GList *objects = nullptr;
    CollectionPtr collection = defaultCollection(secretService.get(), cancellable, failure);
    if (collection && secret_collection_get_locked(collection.get()))
        objects = g_list_append(objects, collection.get());
    ItemList items = search(secretService.get(), service, account, SECRET_SEARCH_ALL, cancellable, failure);
    for (GList *node = items.get(); node; node = node->next) {
        if (secret_item_get_locked(static_cast<SecretItem *>(node->data)))
            objects = g_list_append(objects, node->data);
    }
    if (!objects)
        return failure;

    GError *error = nullptr;
    GList *unlocked = nullptr;
    const gint count = secret_service_unlock_sync(secretService.get(), objects, cancellable, &unlocked, &error);
    ErrorPtr guard(error);
    const bool complete = count == static_cast<gint>(g_list_length(objects));
    g_list_free_full(unlocked, g_object_unref);
    g_list_free(objects);
    if (error)
        return QStringLiteral("钥匙环已锁定：%1").arg(describe(error));
    return complete ? QString() : QStringLiteral("钥匙环已锁定");
}

QString store(const QString &service, const QString &account, const QString &label, const QByteArray &secret,
              GCancellable *cancellable)
{
    QString failure;
    ServicePtr secretService = connect(cancellable, failure);
    if (!secretService)
        return failure;
    SecretValue *value = secret_value_new(secret.constData(), secret.size(), "text/plain");
    TablePtr itemAttributes = attributes(service, account);
    const QByteArray labelBytes = label.toUtf8();
    GError *error = nullptr;
    // Storing replaces the secret of an item with the same attributes, so the
    // old key stays in place until the new one is written.
    const gboolean stored = secret_service_store_sync(secretService.get(), &schema(), itemAttributes.get(),
                                                      SECRET_COLLECTION_DEFAULT, labelBytes.constData(), value,
                                                      cancellable, &error);
    ErrorPtr guard(error);
    secret_value_unref(value);
    if (!stored)
        return describe(error);
    return deleteOtherItems(secretService.get(), service, account, secret, cancellable);
}

QString clear(const QString &service, const QString &account, GCancellable *cancellable)
{
    QString failure;
    ServicePtr secretService = connect(cancellable, failure);
    if (!secretService)
        return failure;
    TablePtr query = attributes(service, account);
    GError *error = nullptr;
    secret_service_clear_sync(secretService.get(), &schema(), query.get(), cancellable, &error);
    ErrorPtr guard(error);
    return error ? describe(error) : QString();
}

} // namespace SecretServiceCalls
