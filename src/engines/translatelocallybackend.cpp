#include "translatelocallybackend.h"

#include "chinesesentences.h"
#include "translatelocallyclient.h"
#include "translatelocallyerror.h"
#include "translatelocallymodels.h"
#include "translationsession.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <vector>

namespace {

class TranslateLocallySession final : public TranslationSession
{
public:
    TranslateLocallySession(std::shared_ptr<TranslateLocallyBackend> backend, TranslationConfiguration configuration)
        : m_backend(std::move(backend))
        , m_configuration(std::move(configuration))
    {
    }

    QCoro::Task<QString> translate(QString text) override
    {
        co_return co_await m_backend->translate(m_configuration, std::move(text));
    }

private:
    std::shared_ptr<TranslateLocallyBackend> m_backend;
    TranslationConfiguration m_configuration;
};

QString targetText(const QJsonValue &data)
{
    const QJsonValue text = data.toObject().value(u"target").toObject().value(u"text");
    if (!text.isString())
        throw TranslateLocallyError(TranslateLocallyError::Kind::Protocol, QStringLiteral("reply without target text"));
    return text.toString();
}

// Built outside the coroutines: GCC 12 miscompiles QStringLiteral in a
// coroutine body ("array used as initializer").
QJsonObject listModelsData()
{
    return {{QStringLiteral("includeRemote"), false}};
}

QJsonObject translateData(const QString &modelId, const QString &sentence)
{
    return {{QStringLiteral("model"), modelId}, {QStringLiteral("text"), sentence}, {QStringLiteral("html"), false}};
}

const QString listModelsCommand = QStringLiteral("ListModels");
const QString translateCommand = QStringLiteral("Translate");

bool isChinese(const TranslationConfiguration &configuration)
{
    return configuration.source == QLatin1String("zh");
}

bool intoChinese(const TranslationConfiguration &configuration)
{
    return configuration.target == QLatin1String("zh");
}

// Chinese has no spaces between sentences; English does.
QString sentenceSeparator(const TranslationConfiguration &configuration)
{
    return configuration.target == QLatin1String("en") ? QStringLiteral(" ") : QString();
}

QString key(const TranslationConfiguration &configuration)
{
    return configuration.source + u'>' + configuration.target;
}

} // namespace

TranslateLocallyBackend::Timeouts TranslateLocallyBackend::defaultTimeouts()
{
    return {TranslateLocallyClient::defaultFirstReplyTimeout, TranslateLocallyClient::defaultReplyTimeout,
            TranslateLocallyClient::defaultIdleTimeout};
}

std::shared_ptr<TranslateLocallyBackend> TranslateLocallyBackend::create(Timeouts timeouts)
{
    return std::shared_ptr<TranslateLocallyBackend>(new TranslateLocallyBackend(timeouts));
}

TranslateLocallyBackend::TranslateLocallyBackend(Timeouts timeouts)
    : m_timeouts(timeouts)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &TranslateLocallyBackend::shutdown);
}

TranslateLocallyBackend::~TranslateLocallyBackend()
{
    shutdown();
}

std::shared_ptr<TranslationSession> TranslateLocallyBackend::makeSession(const TranslationConfiguration &configuration)
{
    return std::make_shared<TranslateLocallySession>(shared_from_this(), configuration);
}

void TranslateLocallyBackend::shutdown()
{
    for (const Direction &direction : std::as_const(m_directions))
        direction.client->shutdown();
}

TranslateLocallyBackend::Direction &TranslateLocallyBackend::direction(const TranslationConfiguration &configuration)
{
    Direction &direction = m_directions[key(configuration)];
    if (!direction.client) {
        direction.client = new TranslateLocallyClient(this);
        direction.client->setFirstReplyTimeout(m_timeouts.firstReply);
        direction.client->setReplyTimeout(m_timeouts.reply);
        direction.client->setIdleTimeout(m_timeouts.idle);
    }
    return direction;
}

QCoro::Task<QString> TranslateLocallyBackend::modelFor(TranslationConfiguration configuration)
{
    TranslateLocallyClient *const client = direction(configuration).client;
    {
        const Direction &known = direction(configuration);
        if (client->isRunning() && known.listedForWorker == client->workersStarted() && !known.modelId.isEmpty())
            co_return known.modelId;
    }
    // A new worker is asked again: the user may have imported models meanwhile.
    const QJsonValue data = co_await client->request(listModelsCommand, listModelsData());
    const std::optional<QString> chosen =
        TranslateLocallyModels::choose(TranslateLocallyModels::parse(data), configuration.source, configuration.target);
    Direction &known = direction(configuration);
    known.modelId = chosen.value_or(QString());
    known.listedForWorker = client->workersStarted();
    if (!chosen) {
        // translateLocally reads its models only when it starts, so this worker
        // would never see the model the user now installs: end it, and the next
        // request starts one that reads the list again.
        client->stop();
        throw TranslateLocallyError(TranslateLocallyError::Kind::NoModel, key(configuration));
    }
    co_return *chosen;
}

QCoro::Task<QString> TranslateLocallyBackend::translate(TranslationConfiguration configuration, QString text)
{
    const std::shared_ptr<TranslateLocallyBackend> keepAlive = shared_from_this();
    const QString modelId = co_await modelFor(configuration);
    TranslateLocallyClient *const client = direction(configuration).client;
    const bool fromChinese = isChinese(configuration);

    // Every sentence goes out at once; the worker answers them in any order.
    QList<qsizetype> sentencesPerLine;
    std::vector<QCoro::Task<QJsonValue>> replies;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        QStringList sentences;
        if (fromChinese)
            sentences = ChineseSentences::split(line);
        else if (!line.trimmed().isEmpty())
            sentences.append(line.trimmed());
        sentencesPerLine.append(sentences.size());
        for (const QString &sentence : std::as_const(sentences)) {
            replies.push_back(client->request(translateCommand, translateData(modelId, sentence)));
        }
    }

    QStringList translations;
    std::exception_ptr failure;
    for (QCoro::Task<QJsonValue> &reply : replies) {
        try {
            translations.append(targetText(co_await reply));
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure) {
        // A refusal leaves the worker running; a failed try must not keep it
        // (and its idle time) alive with the state that made it fail.
        client->stop();
        std::rethrow_exception(failure);
    }

    const QString separator = sentenceSeparator(configuration);
    QStringList lines;
    qsizetype next = 0;
    for (const qsizetype count : std::as_const(sentencesPerLine)) {
        lines.append(translations.mid(next, count).join(separator));
        next += count;
    }
    const QString joined = lines.join(QLatin1Char('\n'));
    co_return intoChinese(configuration) ? ChineseSentences::withoutSpacesBetweenSentences(joined) : joined;
}
