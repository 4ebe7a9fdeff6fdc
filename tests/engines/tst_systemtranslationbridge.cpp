#include "oneshot.h"
#include "systemengine.h"
#include "systemtranslationbridge.h"
#include "systemtranslationhost.h"
#include "taskoutcome.h"
#include "translatelocallyerror.h"
#include "translationbackend.h"
#include "translationerror.h"
#include "translationsession.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <stdexcept>

namespace {

// A backend whose sessions answer as the test says: from a table, by failing,
// or not until the test releases them.
class ScriptedBackend final : public TranslationBackend
{
public:
    struct Call {
        TranslationConfiguration configuration;
        QString text;
    };

    std::shared_ptr<TranslationSession> makeSession(const TranslationConfiguration &configuration) override
    {
        return std::make_shared<Session>(this, configuration);
    }

    QList<Call> calls;
    QHash<QString, QString> answers;
    std::exception_ptr failure;
    bool holding = false; // sessions wait until the test settles their entry in `held`
    QList<OneShot<QString>> held;

private:
    class Session final : public TranslationSession
    {
    public:
        Session(ScriptedBackend *backend, TranslationConfiguration configuration)
            : m_backend(backend)
            , m_configuration(std::move(configuration))
        {
        }

        QCoro::Task<QString> translate(QString text) override
        {
            m_backend->calls.append({m_configuration, text});
            if (m_backend->failure)
                std::rethrow_exception(m_backend->failure);
            if (m_backend->holding) {
                OneShot<QString> answer;
                m_backend->held.append(answer);
                co_return co_await answer;
            }
            co_return m_backend->answers.value(text);
        }

    private:
        ScriptedBackend *m_backend;
        TranslationConfiguration m_configuration;
    };
};

TaskOutcome<QString> run(QCoro::Task<QString> task)
{
    return outcomeOf(std::move(task));
}

std::optional<TranslationError::Kind> errorKind(const TaskOutcome<QString> &outcome)
{
    const auto error = outcome.errorAs<TranslationError>();
    return error ? std::optional(error->kind()) : std::nullopt;
}

const QString chinese = QStringLiteral("中文");
const QString english = QStringLiteral("英文");

} // namespace

class TestSystemTranslationBridge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    // Requests
    void blankInputLeavesBridgeUntouched();
    void publishesTheRequestsLanguages_data();
    void publishesTheRequestsLanguages();

    // Failures
    void everySessionFailureBecomesMissingLanguagePack_data();
    void everySessionFailureBecomesMissingLanguagePack();

    // The host
    void reshownHostWithoutWaitingCallerDoesNothing();
    void secondRequestReplacesOneStillWaiting();
    void requestArrivingWhileSessionRunsIsServedToo();

private:
    std::shared_ptr<ScriptedBackend> m_backend;
    std::shared_ptr<SystemTranslationBridge> m_bridge;
    std::unique_ptr<SystemTranslationHost> m_host;
    std::unique_ptr<SystemEngine> m_engine;
};

void TestSystemTranslationBridge::init()
{
    m_backend = std::make_shared<ScriptedBackend>();
    m_bridge = std::make_shared<SystemTranslationBridge>();
    m_host = std::make_unique<SystemTranslationHost>(m_bridge, m_backend);
    m_engine = std::make_unique<SystemEngine>(m_bridge);
}

void TestSystemTranslationBridge::cleanup()
{
    m_engine.reset();
    m_host.reset();
    m_bridge.reset();
    m_backend.reset();
}

void TestSystemTranslationBridge::blankInputLeavesBridgeUntouched()
{
    QSignalSpy published(m_bridge.get(), &SystemTranslationBridge::configurationChanged);
    QCOMPARE(errorKind(run(m_engine->translate(QStringLiteral(" \n\t　"), chinese, english))),
             TranslationError::Kind::EmptyInput);
    QCOMPARE(published.size(), 0);
    QVERIFY(!m_bridge->configuration());
    QVERIFY(m_backend->calls.isEmpty());
}

void TestSystemTranslationBridge::publishesTheRequestsLanguages_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::newRow("Chinese to English") << chinese << english << "zh" << "en";
    QTest::newRow("English to Chinese") << english << chinese << "en" << "zh";
}

void TestSystemTranslationBridge::publishesTheRequestsLanguages()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, source);
    QFETCH(QString, target);
    m_backend->answers.insert(QStringLiteral("你好"), QStringLiteral("done"));
    m_backend->answers.insert(QStringLiteral("two"), QStringLiteral("二"));
    QSignalSpy published(m_bridge.get(), &SystemTranslationBridge::configurationChanged);

    QCOMPARE(run(m_engine->translate(QStringLiteral("  你好\n"), from, to)).value, QStringLiteral("done"));
    const TranslationConfiguration expected{source, target};
    QCOMPARE(m_bridge->configuration(), std::optional(expected));
    QCOMPARE(m_backend->calls.size(), 1);
    QCOMPARE(m_backend->calls.at(0).configuration, expected);
    QCOMPARE(m_backend->calls.at(0).text, QStringLiteral("你好")); // trimmed before it leaves the engine
    // A second request in a row is published and served too.
    QCOMPARE(run(m_engine->translate(QStringLiteral("two"), from, to)).value, QStringLiteral("二"));
    QCOMPARE(published.size(), 2);
}

void TestSystemTranslationBridge::everySessionFailureBecomesMissingLanguagePack_data()
{
    QTest::addColumn<std::exception_ptr>("failure");
    QTest::newRow("timeout") << std::make_exception_ptr(TranslationError::timeout());
    QTest::newRow("no model") << std::make_exception_ptr(TranslateLocallyError(TranslateLocallyError::Kind::NoModel));
    QTest::newRow("any other exception") << std::make_exception_ptr(std::runtime_error("boom"));
    QTest::newRow("not even an exception") << std::make_exception_ptr(42);
}

void TestSystemTranslationBridge::everySessionFailureBecomesMissingLanguagePack()
{
    QFETCH(std::exception_ptr, failure);
    m_backend->failure = failure;
    const auto outcome = run(m_engine->translate(QStringLiteral("你好"), chinese, english));
    QCOMPARE(errorKind(outcome), TranslationError::Kind::UnsupportedLanguagePack);
    QCOMPARE(outcome.errorAs<TranslationError>()->errorDescription(),
             QStringLiteral("系统翻译语言包尚未就绪，请前往系统设置下载"));
}

void TestSystemTranslationBridge::reshownHostWithoutWaitingCallerDoesNothing()
{
    m_host->appear(); // nothing requested yet
    QVERIFY(m_backend->calls.isEmpty());

    m_backend->answers.insert(QStringLiteral("hi"), QStringLiteral("你好"));
    QCOMPARE(run(m_engine->translate(QStringLiteral("hi"), english, chinese)).value, QStringLiteral("你好"));
    QSignalSpy published(m_bridge.get(), &SystemTranslationBridge::configurationChanged);
    m_host->appear();
    QCOMPARE(m_backend->calls.size(), 1);
    QCOMPARE(published.size(), 0);
    QCOMPARE(m_bridge->configuration(), std::optional(TranslationConfiguration{"en", "zh"}));
}

void TestSystemTranslationBridge::secondRequestReplacesOneStillWaiting()
{
    // Without a host nothing serves the requests, so the first is still waiting
    // when the second arrives.
    m_host.reset();
    m_backend->answers.insert(QStringLiteral("second"), QStringLiteral("第二"));
    auto older = captureOutcome(m_engine->translate(QStringLiteral("first"), english, chinese));
    auto newer = captureOutcome(m_engine->translate(QStringLiteral("second"), english, chinese));
    QVERIFY(older.isReady());
    QCOMPARE(errorKind(QCoro::waitFor(older)), TranslationError::Kind::UnsupportedLanguagePack);
    QVERIFY(!newer.isReady());

    m_host = std::make_unique<SystemTranslationHost>(m_bridge, m_backend);
    m_host->appear();
    QCOMPARE(QCoro::waitFor(newer).value, QStringLiteral("第二"));
    QCOMPARE(m_backend->calls.size(), 1);
}

void TestSystemTranslationBridge::requestArrivingWhileSessionRunsIsServedToo()
{
    m_backend->holding = true;
    auto first = captureOutcome(m_engine->translate(QStringLiteral("first"), english, chinese));
    auto second = captureOutcome(m_engine->translate(QStringLiteral("second"), english, chinese));
    QCOMPARE(m_backend->calls.size(), 2);
    QCOMPARE(m_backend->held.size(), 2);
    m_backend->held[1].resolve(QStringLiteral("二"));
    m_backend->held[0].resolve(QStringLiteral("一"));
    QCOMPARE(QCoro::waitFor(first).value, QStringLiteral("一"));
    QCOMPARE(QCoro::waitFor(second).value, QStringLiteral("二"));
}

QTEST_GUILESS_MAIN(TestSystemTranslationBridge)
#include "tst_systemtranslationbridge.moc"
