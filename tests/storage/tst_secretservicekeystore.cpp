// Runs against the real gnome-keyring that scripts/test-session.sh starts in a
// private D-Bus session. Without that service the tests fail; they never skip.
#include "secretservicekeystore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <libsecret/secret.h>

#include <csignal>

Q_DECLARE_METATYPE(std::optional<QByteArray>)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

using namespace std::chrono_literals;

const SecretSchema probeSchema = {
    "com.quendrix.tolvanis.test.Probe",
    SECRET_SCHEMA_DONT_MATCH_NAME,
    {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
    0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

QString uniqueService(const char *tag)
{
    static int counter = 0;
    return QStringLiteral("com.quendrix.tolvanis.test.%1.%2.%3")
        .arg(QLatin1StringView(tag))
        .arg(QCoreApplication::applicationPid())
        .arg(++counter);
}

SecretService *secretService()
{
    static SecretService *service = [] {
        GError *error = nullptr;
        SecretService *connected = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        if (!connected)
            qFatal("no Secret Service on the session bus: %s", error ? error->message : "?");
        return connected;
    }();
    return service;
}

GHashTable *attributesFor(const QString &service, ApiKeyAccount account)
{
    return secret_attributes_build(&probeSchema, "service", service.toUtf8().constData(), "account",
                                   rawValue(account).toUtf8().constData(), nullptr);
}

// Writes an item directly, the way an earlier version or another tool might.
void storeRaw(const QString &service, ApiKeyAccount account, const QByteArray &bytes,
              const char *collection = SECRET_COLLECTION_DEFAULT)
{
    SecretValue *value = secret_value_new(bytes.constData(), bytes.size(), "text/plain");
    GHashTable *attributes = attributesFor(service, account);
    GError *error = nullptr;
    const bool stored = secret_service_store_sync(secretService(), &probeSchema, attributes, collection, "probe", value,
                                                  nullptr, &error);
    g_hash_table_unref(attributes);
    secret_value_unref(value);
    QVERIFY2(stored, error ? error->message : "store failed");
}

struct StoredItem {
    QByteArray secret;
    QString label;
};

// Every item of (service, account), whatever the program's own lookups say.
QList<StoredItem> itemsOf(const QString &service, ApiKeyAccount account)
{
    GHashTable *attributes = attributesFor(service, account);
    const auto flags = static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS);
    GList *found = secret_service_search_sync(secretService(), &probeSchema, attributes, flags, nullptr, nullptr);
    g_hash_table_unref(attributes);
    QList<StoredItem> items;
    for (GList *node = found; node; node = node->next) {
        auto *item = static_cast<SecretItem *>(node->data);
        StoredItem stored;
        gchar *label = secret_item_get_label(item);
        stored.label = QString::fromUtf8(label);
        g_free(label);
        if (SecretValue *value = secret_item_get_secret(item)) {
            gsize length = 0;
            const gchar *bytes = secret_value_get(value, &length);
            stored.secret = QByteArray(bytes, static_cast<qsizetype>(length));
            secret_value_unref(value);
        }
        items.append(stored);
    }
    g_list_free_full(found, g_object_unref);
    return items;
}

GVariant *busCall(const char *destination, const char *path, const char *interface, const char *method,
                  GVariant *arguments, GDBusConnection *connection = nullptr)
{
    GDBusConnection *bus = connection ? connection : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(bus, destination, path, interface, method, arguments, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, &error);
    if (!reply)
        qFatal("%s failed: %s", method, error ? error->message : "?");
    if (!connection)
        g_object_unref(bus);
    return reply;
}

const char *loginCollection = "/org/freedesktop/secrets/collection/login";

void lockLoginCollection()
{
    const char *paths[] = {loginCollection, nullptr};
    g_variant_unref(busCall("org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
                            "Lock", g_variant_new("(^ao)", paths)));
}

// What the user's typed password does, through gnome-keyring's own interface
// and over one connection, so the plain-text session belongs to the caller:
// unlocks the login collection or, when `create`, makes a new one the default.
void withMasterPassword(bool create)
{
    GDBusConnection *bus = g_dbus_connection_new_for_address_sync(
        g_getenv("DBUS_SESSION_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT
                                          | G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    GVariant *opened = busCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                               "org.freedesktop.Secret.Service", "OpenSession",
                               g_variant_new("(sv)", "plain", g_variant_new_string("")), bus);
    const gchar *session = nullptr;
    g_variant_get(opened, "(v&o)", nullptr, &session);
    const QByteArray password("tolvanis-test");
    GVariant *parameters = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1);
    GVariant *value = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, password.constData(),
                                                static_cast<gsize>(password.size()), 1);
    GVariant *secret = g_variant_new("(o@ay@ays)", session, parameters, value, "text/plain");
    const char *internal = "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface";
    if (create) {
        GVariantBuilder properties;
        g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Collection.Label",
                              g_variant_new_string("login"));
        GVariant *created = busCall("org.freedesktop.secrets", "/org/freedesktop/secrets", internal,
                                    "CreateWithMasterPassword", g_variant_new("(a{sv}@(oayays))", &properties, secret),
                                    bus);
        const gchar *path = nullptr;
        g_variant_get(created, "(&o)", &path);
        g_variant_unref(busCall("org.freedesktop.secrets", "/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
                                "SetAlias", g_variant_new("(so)", "default", path), bus));
        g_variant_unref(created);
    } else {
        g_variant_unref(busCall("org.freedesktop.secrets", "/org/freedesktop/secrets", internal,
                                "UnlockWithMasterPassword", g_variant_new("(o@(oayays))", loginCollection, secret),
                                bus));
    }
    g_variant_unref(opened);
    g_object_unref(bus);
}

void unlockLoginCollection()
{
    withMasterPassword(false);
}

// Stands in for the desktop's prompter (gcr-prompter): counts the prompts the
// keyring opens and turns each down after `answerAfter`, as a user who
// cancels. No prompt reaches a screen, and no test waits for a user.
class FakePrompter final
{
public:
    explicit FakePrompter(std::chrono::milliseconds answerAfter = 0ms)
        : m_answerAfter(answerAfter)
        , m_bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))
    {
        GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(
            "<node><interface name='org.gnome.keyring.internal.Prompter'>"
            "<method name='BeginPrompting'><arg type='o' direction='in'/></method>"
            "<method name='PerformPrompt'><arg type='o' direction='in'/><arg type='s' direction='in'/>"
            "<arg type='a{sv}' direction='in'/><arg type='s' direction='in'/></method>"
            "<method name='StopPrompting'><arg type='o' direction='in'/></method></interface></node>",
            nullptr);
        static const GDBusInterfaceVTable vtable = {&FakePrompter::called, nullptr, nullptr, {}};
        m_object = g_dbus_connection_register_object(m_bus, "/org/gnome/keyring/Prompter", node->interfaces[0],
                                                     &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // 4: do not queue; 1: now the primary owner.
        GVariant *owned = busCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "RequestName", g_variant_new("(su)", name, 4u), m_bus);
        guint32 result = 0;
        g_variant_get(owned, "(u)", &result);
        g_variant_unref(owned);
        if (result != 1)
            qFatal("another prompter owns %s", name);
    }
    ~FakePrompter()
    {
        g_variant_unref(busCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                "ReleaseName", g_variant_new("(s)", name), m_bus));
        g_dbus_connection_unregister_object(m_bus, m_object);
        g_object_unref(m_bus);
    }
    Q_DISABLE_COPY_MOVE(FakePrompter)

    int prompts() const { return m_prompts; }

private:
    static constexpr const char *name = "org.gnome.keyring.SystemPrompter";

    static void called(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *method,
                       GVariant *, GDBusMethodInvocation *invocation, gpointer data)
    {
        auto *self = static_cast<FakePrompter *>(data);
        if (qstrcmp(method, "BeginPrompting") != 0) {
            g_dbus_method_invocation_return_value(invocation, nullptr);
            return;
        }
        ++self->m_prompts;
        QTimer::singleShot(self->m_answerAfter, [invocation] {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.Failed", "cancelled");
        });
    }

    std::chrono::milliseconds m_answerAfter;
    GDBusConnection *m_bus;
    guint m_object = 0;
    int m_prompts = 0;
};

// Freezes the keyring daemon: its D-Bus calls then hang as a stuck provider's do.
class FrozenKeyring final
{
public:
    FrozenKeyring()
    {
        GVariant *reply = busCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "GetConnectionUnixProcessID", g_variant_new("(s)", "org.freedesktop.secrets"));
        guint32 pid = 0;
        g_variant_get(reply, "(u)", &pid);
        g_variant_unref(reply);
        m_pid = static_cast<pid_t>(pid);
        ::kill(m_pid, SIGSTOP);
    }
    ~FrozenKeyring() { ::kill(m_pid, SIGCONT); }
    Q_DISABLE_COPY_MOVE(FrozenKeyring)

private:
    pid_t m_pid = 0;
};

SecretLookup load(SecretServiceKeyStore &helper, ApiKeyAccount account)
{
    return QCoro::waitFor(helper.load(account));
}

SecretWriteResult save(SecretServiceKeyStore &helper, const QString &key, ApiKeyAccount account)
{
    return QCoro::waitFor(helper.save(key, account));
}

// Run in a child process whose session bus does not exist.
int reportWithoutBus()
{
    SecretServiceKeyStore helper(uniqueService("absent"), uniqueService("absent-legacy"), 2000ms);
    const SecretLookup lookup = load(helper, ApiKeyAccount::Anthropic);
    const SecretWriteResult saved = save(helper, QStringLiteral("sk-never-stored"), ApiKeyAccount::Anthropic);
    const SecretWriteResult removed = QCoro::waitFor(helper.remove(ApiKeyAccount::Anthropic));
    const bool asExpected = !lookup.value && !lookup.failure.isEmpty() && !saved.succeeded && !saved.reason.isEmpty()
        && !removed.succeeded && !saved.reason.contains(QStringLiteral("sk-never-stored"));
    return asExpected ? 0 : 1;
}

} // namespace

class TestSecretServiceKeyStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // -- Round trips
    void savedKeyLoadsExactly_data();
    void savedKeyLoadsExactly();
    void emptySaveAndRemoveDeleteTheKey();
    void saveDeletesOtherItemsOfTheAccount();

    // -- What a lookup finds, legacy migration included
    void lookupOfStoredItems_data();
    void lookupOfStoredItems();
    void saveDuringMigrationIsNotOverwritten();

    // -- Faults
    void hungServiceIsGivenUpAndKeepsOldKey();
    void lockedCollectionIsNotAMissingKey();
    void keyringCreationPromptHasNoTimeLimit();
    void missingServiceFails();
};

void TestSecretServiceKeyStore::savedKeyLoadsExactly_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("plain") << QStringLiteral("sk-ant-api03-abcdef");
    QTest::newRow("blanks kept") << QStringLiteral("  sk-key with blanks \n");
    QTest::newRow("non-ASCII") << QStringLiteral("密钥-ключ-🔑");
    QTest::newRow("byte order mark kept") << (QChar(0xFEFF) + QStringLiteral("key"));
}

void TestSecretServiceKeyStore::savedKeyLoadsExactly()
{
    QFETCH(QString, key);
    const QString service = uniqueService("roundtrip");
    SecretServiceKeyStore helper(service, uniqueService("legacy"));

    QVERIFY(save(helper, QStringLiteral("first"), ApiKeyAccount::OpenAICompatible).succeeded);
    const SecretWriteResult saved = save(helper, key, ApiKeyAccount::OpenAICompatible);
    QVERIFY2(saved.succeeded, qPrintable(saved.reason));

    const SecretLookup lookup = load(helper, ApiKeyAccount::OpenAICompatible);
    QCOMPARE(lookup.failure, QString());
    QCOMPARE(lookup.value, std::optional<QString>(key));
    const QList<StoredItem> items = itemsOf(service, ApiKeyAccount::OpenAICompatible);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().secret, key.toUtf8());
    QCOMPARE(items.first().label, QStringLiteral("tolvanis: openai-compatible-api-key"));
    QVERIFY(!load(helper, ApiKeyAccount::Anthropic).value);
}

void TestSecretServiceKeyStore::emptySaveAndRemoveDeleteTheKey()
{
    const QString service = uniqueService("empty");
    SecretServiceKeyStore helper(service, uniqueService("legacy"));
    QVERIFY(save(helper, QStringLiteral("sk-1"), ApiKeyAccount::Anthropic).succeeded);
    QVERIFY(save(helper, QString(), ApiKeyAccount::Anthropic).succeeded);
    QVERIFY(!load(helper, ApiKeyAccount::Anthropic).value);
    QVERIFY(itemsOf(service, ApiKeyAccount::Anthropic).isEmpty());

    QVERIFY(save(helper, QStringLiteral("sk-2"), ApiKeyAccount::Anthropic).succeeded);
    QVERIFY(QCoro::waitFor(helper.remove(ApiKeyAccount::Anthropic)).succeeded);
    QVERIFY(itemsOf(service, ApiKeyAccount::Anthropic).isEmpty());
    // Removing a key that is not there is no failure.
    QVERIFY(QCoro::waitFor(helper.remove(ApiKeyAccount::Anthropic)).succeeded);
}

void TestSecretServiceKeyStore::saveDeletesOtherItemsOfTheAccount()
{
    const QString service = uniqueService("others");
    storeRaw(service, ApiKeyAccount::Anthropic, "sk-other-schema");
    storeRaw(service, ApiKeyAccount::Anthropic, "sk-other-collection", SECRET_COLLECTION_SESSION);
    storeRaw(service, ApiKeyAccount::OpenAICompatible, "sk-other-account");
    SecretServiceKeyStore helper(service, uniqueService("legacy"));

    QVERIFY(save(helper, QStringLiteral("sk-new"), ApiKeyAccount::Anthropic).succeeded);
    QCOMPARE(load(helper, ApiKeyAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-new")));
    const QList<StoredItem> items = itemsOf(service, ApiKeyAccount::Anthropic);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().secret, QByteArray("sk-new"));
    QCOMPARE(itemsOf(service, ApiKeyAccount::OpenAICompatible).size(), 1);
}

void TestSecretServiceKeyStore::lookupOfStoredItems_data()
{
    QTest::addColumn<std::optional<QByteArray>>("current");
    QTest::addColumn<std::optional<QByteArray>>("legacy");
    QTest::addColumn<std::optional<QString>>("expected");
    QTest::addColumn<int>("currentAfter");
    QTest::addColumn<int>("legacyAfter");
    using Bytes = std::optional<QByteArray>;
    const Bytes none;
    QTest::newRow("invalid UTF-8 is no key") << Bytes(QByteArray("sk-\xff\xfe", 5)) << none << std::optional<QString>() << 1 << 0;
    QTest::newRow("legacy key moves") << none << Bytes("sk-legacy ") << std::optional<QString>(QStringLiteral("sk-legacy ")) << 1 << 0;
    QTest::newRow("current key leaves legacy alone") << Bytes("sk-new") << Bytes("sk-old")
                                                     << std::optional<QString>(QStringLiteral("sk-new")) << 1 << 1;
    QTest::newRow("empty legacy item deleted") << none << Bytes(QByteArray()) << std::optional<QString>() << 0 << 0;
    QTest::newRow("unreadable legacy item stays") << none << Bytes(QByteArray("\xc3\x28", 2)) << std::optional<QString>() << 0 << 1;
}

void TestSecretServiceKeyStore::lookupOfStoredItems()
{
    QFETCH(std::optional<QByteArray>, current);
    QFETCH(std::optional<QByteArray>, legacy);
    QFETCH(std::optional<QString>, expected);
    QFETCH(int, currentAfter);
    QFETCH(int, legacyAfter);
    const QString service = uniqueService("current");
    const QString legacyService = uniqueService("legacy");
    if (current)
        storeRaw(service, ApiKeyAccount::Anthropic, *current);
    if (legacy)
        storeRaw(legacyService, ApiKeyAccount::Anthropic, *legacy);
    SecretServiceKeyStore helper(service, legacyService);

    QCOMPARE(load(helper, ApiKeyAccount::OpenAICompatible).value, std::nullopt);
    const SecretLookup lookup = load(helper, ApiKeyAccount::Anthropic);
    QCOMPARE(lookup.failure, QString());
    QCOMPARE(lookup.value, expected);
    QCOMPARE(itemsOf(service, ApiKeyAccount::Anthropic).size(), currentAfter);
    QCOMPARE(itemsOf(legacyService, ApiKeyAccount::Anthropic).size(), legacyAfter);
    QVERIFY(itemsOf(service, ApiKeyAccount::OpenAICompatible).isEmpty());
}

void TestSecretServiceKeyStore::saveDuringMigrationIsNotOverwritten()
{
    const QString service = uniqueService("current");
    const QString legacy = uniqueService("legacy");
    storeRaw(legacy, ApiKeyAccount::Anthropic, "sk-old");
    SecretServiceKeyStore helper(service, legacy);

    // The first call starts the migration; the save issued meanwhile must
    // land after it, not be overwritten by the legacy key.
    QCoro::Task<SecretLookup> pending = helper.load(ApiKeyAccount::OpenAICompatible);
    QVERIFY(save(helper, QStringLiteral("sk-typed"), ApiKeyAccount::Anthropic).succeeded);
    QCoro::waitFor(std::move(pending));
    QCOMPARE(load(helper, ApiKeyAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-typed")));
    QVERIFY(itemsOf(legacy, ApiKeyAccount::Anthropic).isEmpty());
}

void TestSecretServiceKeyStore::hungServiceIsGivenUpAndKeepsOldKey()
{
    SecretServiceKeyStore helper(uniqueService("hung"), uniqueService("legacy"), 300ms);
    QVERIFY(save(helper, QStringLiteral("sk-old"), ApiKeyAccount::Anthropic).succeeded);
    {
        FrozenKeyring frozen;
        // The GUI thread keeps running its event loop while the call hangs.
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
        heartbeat.start(20ms);
        const SecretLookup lookup = load(helper, ApiKeyAccount::Anthropic);
        QVERIFY(!lookup.value);
        QCOMPARE(lookup.failure, QStringLiteral("系统钥匙环服务没有响应"));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        const SecretWriteResult saved = save(helper, QStringLiteral("sk-new"), ApiKeyAccount::Anthropic);
        QVERIFY(!saved.succeeded);
        QCOMPARE(saved.reason, QStringLiteral("系统钥匙环服务没有响应"));

        // A first run's migration gives up with its first unanswered call,
        // and the load with it, instead of asking once per account and again.
        SecretServiceKeyStore fresh(uniqueService("hung"), uniqueService("legacy"), 500ms);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(load(fresh, ApiKeyAccount::Anthropic).failure, QStringLiteral("系统钥匙环服务没有响应"));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
    QCOMPARE(load(helper, ApiKeyAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-old")));
}

void TestSecretServiceKeyStore::lockedCollectionIsNotAMissingKey()
{
    const QString service = uniqueService("locked");
    SecretServiceKeyStore helper(service, uniqueService("legacy"));
    QVERIFY(save(helper, QStringLiteral("sk-locked"), ApiKeyAccount::Anthropic).succeeded);

    FakePrompter prompter;
    lockLoginCollection();
    const SecretLookup lookup = load(helper, ApiKeyAccount::Anthropic);
    const SecretWriteResult saved = save(helper, QStringLiteral("sk-other"), ApiKeyAccount::Anthropic);
    // A first run migrates before it loads: the refusal ends both.
    SecretServiceKeyStore fresh(service, uniqueService("legacy"));
    const SecretLookup freshLookup = load(fresh, ApiKeyAccount::Anthropic);
    unlockLoginCollection();

    QVERIFY(!lookup.value);
    QVERIFY2(lookup.failure.contains(QStringLiteral("锁定")), qPrintable(lookup.failure));
    QVERIFY(!saved.succeeded);
    QVERIFY2(freshLookup.failure.contains(QStringLiteral("锁定")), qPrintable(freshLookup.failure));
    QCOMPARE(prompter.prompts(), 3); // one per operation
    QCOMPARE(load(helper, ApiKeyAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-locked")));
}

// Without a default keyring, saving asks the user for a new keyring's
// password; that prompt may outlast any limit on the service's answers.
void TestSecretServiceKeyStore::keyringCreationPromptHasNoTimeLimit()
{
    SecretServiceKeyStore helper(uniqueService("prompt"), uniqueService("legacy"), 300ms);
    QVERIFY(load(helper, ApiKeyAccount::Anthropic).failure.isEmpty()); // migrated
    g_variant_unref(busCall("org.freedesktop.secrets", loginCollection, "org.freedesktop.Secret.Collection", "Delete",
                            nullptr));
    SecretWriteResult saved;
    int prompts = 0;
    QElapsedTimer clock;
    {
        FakePrompter prompter(1000ms);
        clock.start();
        saved = save(helper, QStringLiteral("sk-new"), ApiKeyAccount::Anthropic);
        prompts = prompter.prompts();
    }
    const qint64 elapsed = clock.elapsed();
    withMasterPassword(true);

    QCOMPARE(prompts, 1);
    QVERIFY(!saved.succeeded); // the user cancelled
    QVERIFY2(saved.reason != QStringLiteral("系统钥匙环服务没有响应"), qPrintable(saved.reason));
    QVERIFY2(elapsed >= 1000, qPrintable(QString::number(elapsed)));
}

void TestSecretServiceKeyStore::missingServiceFails()
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/bus"));
    environment.insert(QStringLiteral("TOLVANIS_KEYCHAIN_WITHOUT_BUS"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("TOLVANIS_KEYCHAIN_WITHOUT_BUS"))
        return reportWithoutBus();
    // Fail at once, before any test, when the private keyring is not there.
    secretService();
    TestSecretServiceKeyStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secretservicekeystore.moc"
