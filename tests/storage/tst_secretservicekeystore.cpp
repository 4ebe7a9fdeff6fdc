// Runs against the real gnome-keyring that scripts/test-session.sh starts in a
// private D-Bus session. Without that service the tests fail; they never skip.
#include "storage/secretservicekeystore.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QUuid>

#include <libsecret/secret.h>

#include <csignal>

Q_DECLARE_METATYPE(std::optional<QByteArray>)

namespace {

using namespace std::chrono_literals;
using Bytes = std::optional<QByteArray>;
constexpr auto anthropic = ApiKeyAccount::Anthropic;
constexpr auto openAI = ApiKeyAccount::OpenAICompatible;

const QString unanswered = u"failed: 系统钥匙环服务没有响应"_qs;
const QString keyring = u"/org/freedesktop/secrets"_qs;
// Another schema name than the program's: items match by attributes alone.
const SecretSchema probe = [] {
    SecretSchema schema{};
    schema.name = "com.quendrix.tolvanis.test.Probe";
    schema.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
    schema.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
    schema.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
    return schema;
}();

QString uniqueService()
{
    return u"com.quendrix.tolvanis.test."_qs + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Runs the event loop until the operation has ended, and tells how.
template<typename T>
QString settle(QCoro::Task<Result<T>> task)
{
    return QCoro::waitFor(std::move(task).then([](const Result<T> &done) {
        if (!done)
            return u"failed: "_qs + done.error();
        if constexpr (std::is_void_v<T>)
            return u"ok"_qs;
        else
            return done.value() ? u"key: "_qs + *done.value() : u"none"_qs;
    }));
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

// A Secret Service method, named with its interface; an error ends the run.
QList<QVariant> call(const QString &path, const QString &method, const QVariantList &arguments)
{
    const qsizetype dot = method.lastIndexOf(u'.');
    QDBusMessage message = QDBusMessage::createMethodCall(u"org.freedesktop.secrets"_qs, path, method.left(dot),
                                                          method.mid(dot + 1));
    message.setArguments(arguments);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
    if (reply.type() != QDBusMessage::ReplyMessage)
        qFatal("%s failed: %s", qPrintable(method), qPrintable(reply.errorMessage()));
    return reply.arguments();
}

// How many items (service, account) has, locked or not, whatever the program's
// own lookups say. Asked over D-Bus: libsecret's search leaks the item proxies it makes.
int itemCount(const QString &service, ApiKeyAccount account = anthropic)
{
    qDBusRegisterMetaType<QMap<QString, QString>>();
    const QMap<QString, QString> attributes{{u"service"_qs, service}, {u"account"_qs, rawValue(account)}};
    const QList<QVariant> found = call(keyring, u"org.freedesktop.Secret.Service.SearchItems"_qs,
                                       {QVariant::fromValue(attributes)});
    return int(qdbus_cast<QList<QDBusObjectPath>>(found.at(0)).size() +
               qdbus_cast<QList<QDBusObjectPath>>(found.at(1)).size());
}

// Makes a new default keyring the way the user's typed password would,
// through gnome-keyring's own interface.
void createLoginKeyring()
{
    const QVariant session = call(keyring, u"org.freedesktop.Secret.Service.OpenSession"_qs,
                                  {u"plain"_qs, QVariant::fromValue(QDBusVariant(QString()))})
                                 .at(1);
    QDBusArgument secret;
    secret.beginStructure();
    secret << session.value<QDBusObjectPath>() << QByteArray() << QByteArray("tolvanis-test") << u"text/plain"_qs;
    secret.endStructure();
    const QVariantMap properties{{u"org.freedesktop.Secret.Collection.Label"_qs, u"login"_qs}};
    const QVariant created =
        call(keyring, u"org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface.CreateWithMasterPassword"_qs,
             {properties, QVariant::fromValue(secret)})
            .at(0);
    call(keyring, u"org.freedesktop.Secret.Service.SetAlias"_qs, {u"default"_qs, created});
}

} // namespace

// The test also stands in for the desktop's prompter (gcr-prompter): it counts
// the prompts the keyring opens and turns each down, as a user who cancels,
// after longer than the stores under test wait for the service's answers. No
// prompt reaches a screen, and no test waits for a user.
class TestSecretServiceKeyStore : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.keyring.internal.Prompter")
    int m_prompts = 0;

public Q_SLOTS:
    void BeginPrompting(const QDBusObjectPath &, const QDBusMessage &message)
    {
        ++m_prompts;
        message.setDelayedReply(true);
        QTimer::singleShot(1000ms, [message] {
            QDBusConnection::sessionBus().send(message.createErrorReply(QDBusError::Failed, u"cancelled"_qs));
        });
    }

private Q_SLOTS:
    void savedKeyReplacesEveryItemOfTheAccount_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("plain") << u"sk-ant-api03-abcdef"_qs;
        QTest::newRow("blanks kept") << u"  sk-key with blanks \n"_qs;
        QTest::newRow("non-ASCII") << u"密钥-ключ-🔑"_qs;
        QTest::newRow("empty removes") << QString();
    }

    void savedKeyReplacesEveryItemOfTheAccount()
    {
        QFETCH(QString, key);
        const QString service = uniqueService();
        // Older items of the account, which a lookup could otherwise still find.
        storeRaw(service, openAI, "sk-other-schema");
        storeRaw(service, openAI, "sk-other-collection", SECRET_COLLECTION_SESSION);
        storeRaw(service, anthropic, "sk-other-account");
        SecretServiceKeyStore store(service, uniqueService());

        QCOMPARE(settle(store.save(key, openAI)), u"ok"_qs);
        QCOMPARE(settle(store.load(openAI)), key.isEmpty() ? u"none"_qs : u"key: "_qs + key);
        QCOMPARE(itemCount(service, openAI), key.isEmpty() ? 0 : 1);
        QCOMPARE(itemCount(service), 1);
        QCOMPARE(settle(store.remove(openAI)), u"ok"_qs);
        QCOMPARE(itemCount(service, openAI), 0);
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
            storeRaw(service, anthropic, *current);
        if (legacy)
            storeRaw(legacyService, anthropic, *legacy);
        SecretServiceKeyStore store(service, legacyService);

        QCOMPARE(settle(store.load(openAI)), u"none"_qs);
        QTEST(settle(store.load(anthropic)), "loaded");
        QTEST((QList{itemCount(service), itemCount(legacyService)}), "itemsLeft");
        QCOMPARE(itemCount(service, openAI), 0);
    }

    // A first run's migration gives up with its first unanswered call, and the
    // operation with it.
    void hungServiceIsGivenUpAndKeepsOldKey()
    {
        const QString service = uniqueService();
        storeRaw(service, anthropic, "sk-old");
        SecretServiceKeyStore store(service, uniqueService(), 300ms);
        {
            // A frozen daemon's calls hang as a stuck provider's do.
            const pid_t daemon = QDBusConnection::sessionBus().interface()->servicePid(u"org.freedesktop.secrets"_qs);
            ::kill(daemon, SIGSTOP);
            const auto thaw = qScopeGuard([daemon] { ::kill(daemon, SIGCONT); });
            // Thawed long after the limit: a store that waits past it gets the keyring's answer instead.
            QTimer::singleShot(10s, [daemon] { ::kill(daemon, SIGCONT); });
            QCOMPARE(settle(store.load(anthropic)), unanswered);
            QCOMPARE(settle(store.save(u"sk-new"_qs, anthropic)), unanswered);
        }
        QCOMPARE(settle(store.load(anthropic)), u"key: sk-old"_qs);
    }

    // A locked keyring is not a missing key, and without a default keyring
    // saving asks for a new keyring's password: either way the user is asked,
    // one prompt per operation, for as long as the user takes.
    void keyringThatNeedsTheUserWaitsForTheUser()
    {
        const QString service = uniqueService(), login = keyring + u"/collection/login"_qs;
        SecretServiceKeyStore store(service, uniqueService(), 300ms);
        QCOMPARE(settle(store.save(u"sk-locked"_qs, anthropic)), u"ok"_qs);
        SecretServiceKeyStore fresh(service, uniqueService(),
                                    300ms); // a first run migrates first: the refusal ends both
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject(u"/org/gnome/keyring/Prompter"_qs, this, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.gnome.keyring.SystemPrompter"_qs));
        call(keyring, u"org.freedesktop.Secret.Service.Lock"_qs, {QVariant::fromValue(QList{QDBusObjectPath(login)})});
        const QStringList outcomes{settle(store.load(anthropic)), settle(store.save(u"sk-other"_qs, anthropic)),
                                   settle(fresh.load(anthropic))};
        for (const QString &outcome : outcomes)
            QVERIFY2(outcome.startsWith(u"failed: 钥匙环已锁定"_qs), qPrintable(outcome));
        call(login, u"org.freedesktop.Secret.Collection.Delete"_qs, {});
        const auto recreate = qScopeGuard(createLoginKeyring);
        // A legacy key whose copy cannot be saved (the new keyring is refused) stays where it was.
        const QString legacyService = uniqueService();
        storeRaw(legacyService, anthropic, "sk-legacy", SECRET_COLLECTION_SESSION);
        SecretServiceKeyStore migrating(uniqueService(), legacyService, 300ms);
        QVERIFY(settle(migrating.load(anthropic)).startsWith(u"failed: "_qs));
        QCOMPARE(itemCount(legacyService), 1);
        QElapsedTimer clock;
        clock.start();
        const QString saved = settle(store.save(u"sk-new"_qs, anthropic));
        QVERIFY2(clock.elapsed() >= 1000 && saved.startsWith(u"failed: "_qs) && saved != unanswered, qPrintable(saved));
        QCOMPARE(m_prompts, 5);
    }
};

QTEST_GUILESS_MAIN(TestSecretServiceKeyStore)
#include "tst_secretservicekeystore.moc"
