// Runs against the real gnome-keyring that scripts/test-session.sh starts in a
// private D-Bus session. Without that service the tests fail; they never skip.
#include "keychainhelper.h"

#include <QCoreApplication>
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

GHashTable *attributesFor(const QString &service, KeychainAccount account)
{
    return secret_attributes_build(&probeSchema, "service", service.toUtf8().constData(), "account",
                                   rawValue(account).toUtf8().constData(), nullptr);
}

// Writes an item directly, the way an earlier version or another tool might.
void storeRaw(const QString &service, KeychainAccount account, const QByteArray &bytes)
{
    SecretValue *value = secret_value_new(bytes.constData(), bytes.size(), "text/plain");
    GHashTable *attributes = attributesFor(service, account);
    GError *error = nullptr;
    const bool stored = secret_service_store_sync(secretService(), &probeSchema, attributes, SECRET_COLLECTION_DEFAULT,
                                                  "probe", value, nullptr, &error);
    g_hash_table_unref(attributes);
    secret_value_unref(value);
    QVERIFY2(stored, error ? error->message : "store failed");
}

struct StoredItem {
    QByteArray secret;
    QString label;
};

// Every item of (service, account), whatever the program's own lookups say.
QList<StoredItem> itemsOf(const QString &service, KeychainAccount account)
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

// What the user's typed password does: gnome-keyring's own interface, over one
// connection so the plain-text session belongs to the caller.
void unlockLoginCollection()
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
    g_variant_unref(busCall("org.freedesktop.secrets", "/org/freedesktop/secrets",
                            "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface", "UnlockWithMasterPassword",
                            g_variant_new("(o@(oayays))", loginCollection, secret), bus));
    g_variant_unref(opened);
    g_object_unref(bus);
}

// Keeps unlock prompts off any screen: prompters that the bus starts from now
// on see no display and give up at once, so no test waits for a user.
class HeadlessPrompts final
{
public:
    HeadlessPrompts() { setPromptDisplays(QByteArray(), QByteArray()); }
    ~HeadlessPrompts() { setPromptDisplays(qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")); }
    Q_DISABLE_COPY_MOVE(HeadlessPrompts)

private:
    static void setPromptDisplays(const QByteArray &x11, const QByteArray &wayland)
    {
        GVariantBuilder environment;
        g_variant_builder_init(&environment, G_VARIANT_TYPE("a{ss}"));
        g_variant_builder_add(&environment, "{ss}", "DISPLAY", x11.constData());
        g_variant_builder_add(&environment, "{ss}", "WAYLAND_DISPLAY", wayland.constData());
        g_variant_unref(busCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                "UpdateActivationEnvironment", g_variant_new("(a{ss})", &environment)));
    }
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

SecretLookup load(KeychainHelper &helper, KeychainAccount account)
{
    return QCoro::waitFor(helper.load(account));
}

SecretWriteResult save(KeychainHelper &helper, const QString &key, KeychainAccount account)
{
    return QCoro::waitFor(helper.save(key, account));
}

// Run in a child process whose session bus does not exist.
int reportWithoutBus()
{
    KeychainHelper helper(uniqueService("absent"), uniqueService("absent-legacy"), 2000ms);
    const SecretLookup lookup = load(helper, KeychainAccount::Anthropic);
    const SecretWriteResult saved = save(helper, QStringLiteral("sk-never-stored"), KeychainAccount::Anthropic);
    const SecretWriteResult removed = QCoro::waitFor(helper.remove(KeychainAccount::Anthropic));
    const bool asExpected = !lookup.value && !lookup.failure.isEmpty() && !saved.succeeded && !saved.reason.isEmpty()
        && !removed.succeeded && !saved.reason.contains(QStringLiteral("sk-never-stored"));
    return asExpected ? 0 : 1;
}

} // namespace

class TestKeychainHelper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // -- Round trips
    void savedKeyLoadsExactly_data();
    void savedKeyLoadsExactly();
    void emptySaveAndRemoveDeleteTheKey();

    // -- What a lookup finds, legacy migration included
    void lookupOfStoredItems_data();
    void lookupOfStoredItems();
    void saveDuringMigrationIsNotOverwritten();

    // -- Faults
    void hungServiceIsGivenUpAndKeepsOldKey();
    void lockedCollectionIsNotAMissingKey();
    void missingServiceFails();
};

void TestKeychainHelper::savedKeyLoadsExactly_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("plain") << QStringLiteral("sk-ant-api03-abcdef");
    QTest::newRow("blanks kept") << QStringLiteral("  sk-key with blanks \n");
    QTest::newRow("non-ASCII") << QStringLiteral("密钥-ключ-🔑");
    QTest::newRow("byte order mark kept") << (QChar(0xFEFF) + QStringLiteral("key"));
}

void TestKeychainHelper::savedKeyLoadsExactly()
{
    QFETCH(QString, key);
    const QString service = uniqueService("roundtrip");
    KeychainHelper helper(service, uniqueService("legacy"));

    QVERIFY(save(helper, QStringLiteral("first"), KeychainAccount::OpenAICompatible).succeeded);
    const SecretWriteResult saved = save(helper, key, KeychainAccount::OpenAICompatible);
    QVERIFY2(saved.succeeded, qPrintable(saved.reason));

    const SecretLookup lookup = load(helper, KeychainAccount::OpenAICompatible);
    QCOMPARE(lookup.failure, QString());
    QCOMPARE(lookup.value, std::optional<QString>(key));
    const QList<StoredItem> items = itemsOf(service, KeychainAccount::OpenAICompatible);
    QCOMPARE(items.size(), 1);
    QCOMPARE(items.first().secret, key.toUtf8());
    QCOMPARE(items.first().label, QStringLiteral("tolvanis: openai-compatible-api-key"));
    QVERIFY(!load(helper, KeychainAccount::Anthropic).value);
}

void TestKeychainHelper::emptySaveAndRemoveDeleteTheKey()
{
    const QString service = uniqueService("empty");
    KeychainHelper helper(service, uniqueService("legacy"));
    QVERIFY(save(helper, QStringLiteral("sk-1"), KeychainAccount::Anthropic).succeeded);
    QVERIFY(save(helper, QString(), KeychainAccount::Anthropic).succeeded);
    QVERIFY(!load(helper, KeychainAccount::Anthropic).value);
    QVERIFY(itemsOf(service, KeychainAccount::Anthropic).isEmpty());

    QVERIFY(save(helper, QStringLiteral("sk-2"), KeychainAccount::Anthropic).succeeded);
    QVERIFY(QCoro::waitFor(helper.remove(KeychainAccount::Anthropic)).succeeded);
    QVERIFY(itemsOf(service, KeychainAccount::Anthropic).isEmpty());
    // Removing a key that is not there is no failure.
    QVERIFY(QCoro::waitFor(helper.remove(KeychainAccount::Anthropic)).succeeded);
}

void TestKeychainHelper::lookupOfStoredItems_data()
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

void TestKeychainHelper::lookupOfStoredItems()
{
    QFETCH(std::optional<QByteArray>, current);
    QFETCH(std::optional<QByteArray>, legacy);
    QFETCH(std::optional<QString>, expected);
    QFETCH(int, currentAfter);
    QFETCH(int, legacyAfter);
    const QString service = uniqueService("current");
    const QString legacyService = uniqueService("legacy");
    if (current)
        storeRaw(service, KeychainAccount::Anthropic, *current);
    if (legacy)
        storeRaw(legacyService, KeychainAccount::Anthropic, *legacy);
    KeychainHelper helper(service, legacyService);

    QCOMPARE(load(helper, KeychainAccount::OpenAICompatible).value, std::nullopt);
    const SecretLookup lookup = load(helper, KeychainAccount::Anthropic);
    QCOMPARE(lookup.failure, QString());
    QCOMPARE(lookup.value, expected);
    QCOMPARE(itemsOf(service, KeychainAccount::Anthropic).size(), currentAfter);
    QCOMPARE(itemsOf(legacyService, KeychainAccount::Anthropic).size(), legacyAfter);
    QVERIFY(itemsOf(service, KeychainAccount::OpenAICompatible).isEmpty());
}

void TestKeychainHelper::saveDuringMigrationIsNotOverwritten()
{
    const QString service = uniqueService("current");
    const QString legacy = uniqueService("legacy");
    storeRaw(legacy, KeychainAccount::Anthropic, "sk-old");
    KeychainHelper helper(service, legacy);

    // The first call starts the migration; the save issued meanwhile must
    // land after it, not be overwritten by the legacy key.
    QCoro::Task<SecretLookup> pending = helper.load(KeychainAccount::OpenAICompatible);
    QVERIFY(save(helper, QStringLiteral("sk-typed"), KeychainAccount::Anthropic).succeeded);
    QCoro::waitFor(std::move(pending));
    QCOMPARE(load(helper, KeychainAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-typed")));
    QVERIFY(itemsOf(legacy, KeychainAccount::Anthropic).isEmpty());
}

void TestKeychainHelper::hungServiceIsGivenUpAndKeepsOldKey()
{
    KeychainHelper helper(uniqueService("hung"), uniqueService("legacy"), 300ms);
    QVERIFY(save(helper, QStringLiteral("sk-old"), KeychainAccount::Anthropic).succeeded);
    {
        FrozenKeyring frozen;
        // The GUI thread keeps running its event loop while the call hangs.
        int ticks = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
        heartbeat.start(20ms);
        const SecretLookup lookup = load(helper, KeychainAccount::Anthropic);
        QVERIFY(!lookup.value);
        QCOMPARE(lookup.failure, QStringLiteral("系统钥匙环服务没有响应"));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
        const SecretWriteResult saved = save(helper, QStringLiteral("sk-new"), KeychainAccount::Anthropic);
        QVERIFY(!saved.succeeded);
        QCOMPARE(saved.reason, QStringLiteral("系统钥匙环服务没有响应"));
    }
    QCOMPARE(load(helper, KeychainAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-old")));
}

void TestKeychainHelper::lockedCollectionIsNotAMissingKey()
{
    const QString service = uniqueService("locked");
    KeychainHelper helper(service, uniqueService("legacy"));
    QVERIFY(save(helper, QStringLiteral("sk-locked"), KeychainAccount::Anthropic).succeeded);

    HeadlessPrompts headless;
    lockLoginCollection();
    // The unlock prompt cannot be shown, so it is refused: the lookup reports
    // the lock instead of "no key".
    const SecretLookup lookup = load(helper, KeychainAccount::Anthropic);
    const SecretWriteResult saved = save(helper, QStringLiteral("sk-other"), KeychainAccount::Anthropic);
    unlockLoginCollection();

    QVERIFY(!lookup.value);
    QVERIFY2(lookup.failure.contains(QStringLiteral("锁定")), qPrintable(lookup.failure));
    QVERIFY(!saved.succeeded);
    QCOMPARE(load(helper, KeychainAccount::Anthropic).value, std::optional<QString>(QStringLiteral("sk-locked")));
}

void TestKeychainHelper::missingServiceFails()
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
    TestKeychainHelper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keychainhelper.moc"
