// Runs against the real gnome-keyring that scripts/test-session.sh starts in a
// private D-Bus session. Without that service the tests fail; they never skip.
#include "secretservicekeystore.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <libsecret/secret.h>

#include <csignal>
#include <cstdio>

Q_DECLARE_METATYPE(std::optional<QByteArray>)

namespace {

using namespace std::chrono_literals;
using Bytes = std::optional<QByteArray>;

const QString unanswered = u"failed: 系统钥匙环服务没有响应"_qs;
const char *const loginCollection = "/org/freedesktop/secrets/collection/login";
// Another schema name than the program's: items match by attributes alone.
const SecretSchema probe = {"com.quendrix.tolvanis.test.Probe", SECRET_SCHEMA_DONT_MATCH_NAME,
    {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {}}, 0, {}, {}, {}, {}, {}, {}, {}};

QString uniqueService()
{
    static int counter = 0;
    return u"com.quendrix.tolvanis.test.%1.%2"_qs.arg(QCoreApplication::applicationPid()).arg(++counter);
}

template <typename T>
QCoro::Task<QString> described(QCoro::Task<Result<T>> task)
{
    const Result<T> done = co_await std::move(task);
    if (!done)
        co_return u"failed: "_qs + done.error();
    if constexpr (std::is_void_v<T>)
        co_return u"ok"_qs;
    else
        co_return done.value() ? u"key: "_qs + *done.value() : u"none"_qs;
}

// Runs the event loop until the operation has ended, and tells how.
template <typename T>
QString settle(QCoro::Task<T> task)
{
    return QCoro::waitFor(described(std::move(task)));
}

QString load(KeyStore &store, ApiKeyAccount account = ApiKeyAccount::Anthropic)
{
    return settle(store.load(account));
}

QString save(KeyStore &store, const QString &key, ApiKeyAccount account = ApiKeyAccount::Anthropic)
{
    return settle(store.save(key, account));
}

// Writes an item directly, the way an earlier version or another tool might.
void storeRaw(const QString &service, ApiKeyAccount account, const QByteArray &bytes,
              const char *collection = SECRET_COLLECTION_DEFAULT)
{
    SecretValue *value = secret_value_new(bytes.constData(), bytes.size(), "text/plain");
    QVERIFY(secret_password_store_binary_sync(&probe, collection, "probe", value, nullptr, nullptr, "service",
                                              qPrintable(service), "account", qPrintable(rawValue(account)), nullptr));
    secret_value_unref(value);
}

// Every item of (service, account) as "label=secret", whatever the program's own lookups say.
QByteArrayList itemsOf(const QString &service, ApiKeyAccount account = ApiKeyAccount::Anthropic)
{
    GList *found = secret_password_search_sync(&probe, SECRET_SEARCH_ALL, nullptr, nullptr, "service",
                                               qPrintable(service), "account", qPrintable(rawValue(account)), nullptr);
    QByteArrayList items;
    for (GList *node = found; node; node = node->next) {
        auto *item = static_cast<SecretRetrievable *>(node->data);
        gchar *label = secret_retrievable_get_label(item);
        SecretValue *value = secret_retrievable_retrieve_secret_sync(item, nullptr, nullptr);
        gsize length = 0;
        const gchar *secret = value ? secret_value_get(value, &length) : "";
        items.append(QByteArray(label) + '=' + QByteArray(secret, qsizetype(length)));
        g_free(label);
        if (value)
            secret_value_unref(value);
    }
    g_list_free_full(found, g_object_unref);
    return items;
}

QDBusMessage call(const QString &path, const QString &interface, const QString &method, const QVariantList &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_qs, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qFatal("%s failed: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    return reply;
}

// What the user's typed password does, through gnome-keyring's own interface:
// unlocks the login collection or, when `create`, makes a new default one.
void withMasterPassword(bool create)
{
    const QString root = u"/org/freedesktop/secrets"_qs, service = u"org.freedesktop.Secret.Service"_qs;
    const QString internal = u"org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"_qs;
    const QVariantList opened = call(root, service, u"OpenSession"_qs, {u"plain"_qs, QVariant::fromValue(QDBusVariant(QString()))}).arguments();
    QDBusArgument secret;
    secret.beginStructure();
    secret << opened.at(1).value<QDBusObjectPath>() << QByteArray() << QByteArray("tolvanis-test") << u"text/plain"_qs;
    secret.endStructure();
    if (create) {
        const QVariantMap properties{{u"org.freedesktop.Secret.Collection.Label"_qs, u"login"_qs}};
        const QVariant created = call(root, internal, u"CreateWithMasterPassword"_qs, {properties, QVariant::fromValue(secret)}).arguments().at(0);
        call(root, service, u"SetAlias"_qs, {u"default"_qs, created});
    } else {
        call(root, internal, u"UnlockWithMasterPassword"_qs, {QVariant::fromValue(QDBusObjectPath(loginCollection)), QVariant::fromValue(secret)});
    }
}

// Stands in for the desktop's prompter (gcr-prompter): counts the prompts the
// keyring opens and turns each down after `answerAfter`, as a user who
// cancels. No prompt reaches a screen, and no test waits for a user.
class FakePrompter final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.keyring.internal.Prompter")

public:
    explicit FakePrompter(std::chrono::milliseconds answerAfter = 0ms)
        : m_answerAfter(answerAfter)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.registerObject(u"/org/gnome/keyring/Prompter"_qs, this, QDBusConnection::ExportAllSlots)
            || !bus.registerService(u"org.gnome.keyring.SystemPrompter"_qs))
            qFatal("another prompter is running");
    }
    ~FakePrompter() override { QDBusConnection::sessionBus().unregisterService(u"org.gnome.keyring.SystemPrompter"_qs); }

    int prompts = 0;

public Q_SLOTS:
    void BeginPrompting(const QDBusObjectPath &, const QDBusMessage &message)
    {
        ++prompts;
        message.setDelayedReply(true);
        QTimer::singleShot(m_answerAfter, [message] {
            QDBusConnection::sessionBus().send(message.createErrorReply(QDBusError::Failed, u"cancelled"_qs));
        });
    }

private:
    std::chrono::milliseconds m_answerAfter;
};

} // namespace

class TestSecretServiceKeyStore : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void savedKeyReplacesEveryItemOfTheAccount_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("plain") << u"sk-ant-api03-abcdef"_qs;
        QTest::newRow("blanks kept") << u"  sk-key with blanks \n"_qs;
        QTest::newRow("non-ASCII") << u"密钥-ключ-🔑"_qs;
        QTest::newRow("byte order mark kept") << (QChar(0xFEFF) + u"key"_qs);
        QTest::newRow("empty removes") << QString();
    }

    void savedKeyReplacesEveryItemOfTheAccount()
    {
        QFETCH(QString, key);
        const QString service = uniqueService();
        const auto account = ApiKeyAccount::OpenAICompatible;
        // Older items of the account, which a lookup could otherwise still find.
        storeRaw(service, account, "sk-other-schema");
        storeRaw(service, account, "sk-other-collection", SECRET_COLLECTION_SESSION);
        storeRaw(service, ApiKeyAccount::Anthropic, "sk-other-account");
        SecretServiceKeyStore store(service, uniqueService());

        QCOMPARE(save(store, key, account), u"ok"_qs);
        QCOMPARE(load(store, account), key.isEmpty() ? u"none"_qs : u"key: "_qs + key);
        const QByteArrayList expected{"tolvanis: openai-compatible-api-key=" + key.toUtf8()};
        QCOMPARE(itemsOf(service, account), key.isEmpty() ? QByteArrayList() : expected);
        QCOMPARE(itemsOf(service).size(), 1);
        QCOMPARE(settle(store.remove(account)), u"ok"_qs);
        QCOMPARE(itemsOf(service, account), QByteArrayList());
    }

    void legacyKeysMoveOnce_data()
    {
        QTest::addColumn<Bytes>("current");
        QTest::addColumn<Bytes>("legacy");
        QTest::addColumn<QString>("loaded");
        QTest::addColumn<QList<int>>("itemsLeft"); // current, legacy
        QTest::newRow("invalid UTF-8 is no key") << Bytes("sk-\xff\xfe") << Bytes() << u"none"_qs << QList{1, 0};
        QTest::newRow("legacy key moves") << Bytes() << Bytes("sk-legacy ") << u"key: sk-legacy "_qs << QList{1, 0};
        QTest::newRow("current key wins") << Bytes("sk-new") << Bytes("sk-old") << u"key: sk-new"_qs << QList{1, 1};
        QTest::newRow("empty legacy item deleted") << Bytes() << Bytes("") << u"none"_qs << QList{0, 0};
        QTest::newRow("unreadable legacy item stays") << Bytes() << Bytes("\xc3\x28") << u"none"_qs << QList{0, 1};
    }

    void legacyKeysMoveOnce()
    {
        QFETCH(Bytes, current);
        QFETCH(Bytes, legacy);
        const QString service = uniqueService(), legacyService = uniqueService();
        if (current)
            storeRaw(service, ApiKeyAccount::Anthropic, *current);
        if (legacy)
            storeRaw(legacyService, ApiKeyAccount::Anthropic, *legacy);
        SecretServiceKeyStore store(service, legacyService);

        QCOMPARE(load(store, ApiKeyAccount::OpenAICompatible), u"none"_qs);
        QTEST(load(store), "loaded");
        QTEST((QList{int(itemsOf(service).size()), int(itemsOf(legacyService).size())}), "itemsLeft");
        QCOMPARE(itemsOf(service, ApiKeyAccount::OpenAICompatible), QByteArrayList());
    }

    void saveDuringMigrationIsNotOverwritten()
    {
        const QString legacy = uniqueService();
        storeRaw(legacy, ApiKeyAccount::Anthropic, "sk-old");
        SecretServiceKeyStore store(uniqueService(), legacy);
        // The first call starts the migration; a save issued meanwhile lands after it.
        QCoro::Task<KeyLookup> pending = store.load(ApiKeyAccount::OpenAICompatible);
        QCOMPARE(save(store, u"sk-typed"_qs), u"ok"_qs);
        QCOMPARE(settle(std::move(pending)), u"none"_qs);
        QCOMPARE(load(store), u"key: sk-typed"_qs);
        QCOMPARE(itemsOf(legacy), QByteArrayList());
    }

    void hungServiceIsGivenUpAndKeepsOldKey()
    {
        SecretServiceKeyStore store(uniqueService(), uniqueService(), 300ms);
        QCOMPARE(save(store, u"sk-old"_qs), u"ok"_qs);
        {
            // A frozen daemon's calls hang as a stuck provider's do.
            const pid_t keyring = QDBusConnection::sessionBus().interface()->servicePid(u"org.freedesktop.secrets"_qs);
            ::kill(keyring, SIGSTOP);
            const auto thaw = qScopeGuard([keyring] { ::kill(keyring, SIGCONT); });
            QElapsedTimer clock;
            clock.start();
            int ticks = 0; // the GUI thread keeps running its event loop meanwhile
            QTimer heartbeat;
            connect(&heartbeat, &QTimer::timeout, this, [&ticks] { ++ticks; });
            heartbeat.start(20ms);
            QCOMPARE(load(store), unanswered);
            QCOMPARE(save(store, u"sk-new"_qs), unanswered);
            QVERIFY2(ticks >= 5 && clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
            // A first run's migration gives up with its first unanswered call, and the load with it.
            SecretServiceKeyStore fresh(uniqueService(), uniqueService(), 500ms);
            clock.restart();
            QCOMPARE(load(fresh), unanswered);
            QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        }
        QCOMPARE(load(store), u"key: sk-old"_qs);
    }

    void lockedCollectionIsNotAMissingKey()
    {
        const QString service = uniqueService();
        SecretServiceKeyStore store(service, uniqueService());
        QCOMPARE(save(store, u"sk-locked"_qs), u"ok"_qs);
        FakePrompter prompter;
        call(u"/org/freedesktop/secrets"_qs, u"org.freedesktop.Secret.Service"_qs, u"Lock"_qs,
             {QVariant::fromValue(QList{QDBusObjectPath(loginCollection)})});
        SecretServiceKeyStore fresh(service, uniqueService()); // a first run migrates first: the refusal ends both
        const QStringList outcomes{load(store), save(store, u"sk-other"_qs), load(fresh)};
        withMasterPassword(false);
        QCOMPARE(outcomes.filter(QRegularExpression(u"^failed: 钥匙环已锁定"_qs)), outcomes);
        QCOMPARE(prompter.prompts, 3); // one per operation
        QCOMPARE(load(store), u"key: sk-locked"_qs);
    }

    // Without a default keyring, saving asks the user for a new keyring's
    // password; that prompt may outlast any limit on the service's answers.
    void keyringCreationPromptHasNoTimeLimit()
    {
        SecretServiceKeyStore store(uniqueService(), uniqueService(), 300ms);
        QCOMPARE(load(store), u"none"_qs); // migrated
        call(loginCollection, u"org.freedesktop.Secret.Collection"_qs, u"Delete"_qs, {});
        auto recreate = qScopeGuard([] { withMasterPassword(true); });
        FakePrompter prompter(1000ms);
        QElapsedTimer clock;
        clock.start();
        const QString saved = save(store, u"sk-new"_qs);
        QVERIFY2(clock.elapsed() >= 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(prompter.prompts, 1);
        QVERIFY2(saved.startsWith(u"failed: "_qs) && saved != unanswered, qPrintable(saved)); // the user cancelled
    }

    void missingServiceFailsWithAReason()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_qs, u"unix:path=/nonexistent/bus"_qs);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {u"--without-bus"_qs});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("0"));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(u"--without-bus"_qs)) {
        // Prints how many operations did not fail with the reason users are shown.
        SecretServiceKeyStore store(uniqueService(), uniqueService(), 2000ms);
        const QStringList outcomes{load(store), save(store, u"sk-never-stored"_qs), settle(store.remove(ApiKeyAccount::Anthropic))};
        std::printf("%lld", static_cast<long long>(outcomes.size() - outcomes.filter(u"failed: 无法连接系统钥匙环服务："_qs).size()));
        return 0;
    }
    if (!secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, nullptr))
        qFatal("no Secret Service on the session bus");
    TestSecretServiceKeyStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_secretservicekeystore.moc"
