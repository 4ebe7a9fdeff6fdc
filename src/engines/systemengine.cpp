#include "engines/systemengine.h"

#include "core/languagenames.h"
#include "core/texttrim.h"
#include "core/translationerror.h"
#include "engines/chinesesentences.h"
#include "engines/engineslog.h"
#include "engines/translatelocallyclient.h"
#include "engines/translatelocallyerror.h"
#include "engines/translatelocallymodels.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <vector>

namespace {

// The functions below build their strings outside the coroutines: GCC 12
// rejects QStringLiteral in a coroutine body ("array used as initializer",
// GCC bug 98056); the workaround can go with a compiler that has the fix.

TranslationError missingProgram()
{
    return TranslationError::network(QStringLiteral("系统翻译需要安装 translateLocally"));
}

// translateLocally's language identifier for a language name of the view model.
QString languageIdentifier(const QString &languageName)
{
    return languageName == LanguageName::chinese() ? QStringLiteral("zh") : QStringLiteral("en");
}

QString targetText(const QJsonValue &data)
{
    const QJsonValue text = data.toObject().value(u"target").toObject().value(u"text");
    if (!text.isString())
        throw TranslateLocallyError(TranslateLocallyError::Kind::Protocol, QStringLiteral("reply without target text"));
    return text.toString();
}

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
const QString chinese = QStringLiteral("zh");

// Chinese has no spaces between sentences; English does.
QString sentenceSeparator(const QString &target)
{
    return target == chinese ? QString() : QStringLiteral(" ");
}

QString key(const QString &source, const QString &target)
{
    return source + u'>' + target;
}

} // namespace

SystemEngine::Timeouts SystemEngine::defaultTimeouts()
{
    return {TranslateLocallyClient::defaultFirstReplyTimeout, TranslateLocallyClient::defaultReplyTimeout,
            TranslateLocallyClient::defaultIdleTimeout};
}

std::shared_ptr<SystemEngine> SystemEngine::create(Timeouts timeouts)
{
    return std::shared_ptr<SystemEngine>(new SystemEngine(timeouts));
}

SystemEngine::SystemEngine(Timeouts timeouts)
    : m_timeouts(timeouts)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &SystemEngine::shutdown);
}

SystemEngine::~SystemEngine()
{
    shutdown();
}

QString SystemEngine::name() const
{
    return QStringLiteral("系统离线");
}

QCoro::Task<QString> SystemEngine::translate(QString text, QString from, QString to)
{
    // Pending requests would otherwise be failed from inside the destructor.
    const std::shared_ptr<SystemEngine> keepAlive = shared_from_this();
    const QString trimmed = TextTrim::trimmed(text);
    if (trimmed.isEmpty())
        throw TranslationError::emptyInput();
    try {
        co_return co_await translateWithWorker(trimmed, languageIdentifier(from), languageIdentifier(to));
    } catch (const TranslateLocallyError &error) {
        // Looked for at every try, so a translateLocally installed meanwhile is used.
        if (error.kind() == TranslateLocallyError::Kind::NotInstalled)
            throw missingProgram();
        qCInfo(lcEngines) << "on-device translation failed:" << error.kindName();
    } catch (const std::exception &error) {
        qCWarning(lcEngines) << "on-device translation failed:" << error.what();
    } catch (...) {
        qCWarning(lcEngines) << "on-device translation failed with an unknown exception";
    }
    // Whatever else went wrong, the user is told to get the language pack.
    throw TranslationError::unsupportedLanguagePack();
}

void SystemEngine::shutdown()
{
    for (const Direction &direction : std::as_const(m_directions))
        direction.client->shutdown();
}

SystemEngine::Direction &SystemEngine::direction(const QString &source, const QString &target)
{
    Direction &direction = m_directions[key(source, target)];
    if (!direction.client) {
        direction.client = new TranslateLocallyClient(this);
        direction.client->setFirstReplyTimeout(m_timeouts.firstReply);
        direction.client->setReplyTimeout(m_timeouts.reply);
        direction.client->setIdleTimeout(m_timeouts.idle);
    }
    return direction;
}

QCoro::Task<QString> SystemEngine::modelFor(QString source, QString target)
{
    TranslateLocallyClient *const client = direction(source, target).client;
    {
        const Direction &known = direction(source, target);
        if (client->isRunning() && known.listedForWorker == client->workersStarted() && !known.modelId.isEmpty())
            co_return known.modelId;
    }
    // A new worker is asked again: the user may have imported models meanwhile.
    const QJsonValue data = co_await client->request(listModelsCommand, listModelsData());
    const std::optional<QString> chosen = TranslateLocallyModels::choose(TranslateLocallyModels::parse(data), source,
                                                                         target);
    Direction &known = direction(source, target);
    known.modelId = chosen.value_or(QString());
    known.listedForWorker = client->workersStarted();
    if (!chosen) {
        // translateLocally reads its models only when it starts, so this worker
        // would never see the model the user now installs: end it, and the next
        // request starts one that reads the list again.
        client->stop();
        throw TranslateLocallyError(TranslateLocallyError::Kind::NoModel, key(source, target));
    }
    co_return *chosen;
}

QCoro::Task<QString> SystemEngine::translateWithWorker(QString text, QString source, QString target)
{
    const QString modelId = co_await modelFor(source, target);
    TranslateLocallyClient *const client = direction(source, target).client;
    const bool fromChinese = source == chinese;

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
        for (const QString &sentence : std::as_const(sentences))
            replies.push_back(client->request(translateCommand, translateData(modelId, sentence)));
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

    const QString separator = sentenceSeparator(target);
    QStringList lines;
    qsizetype next = 0;
    for (const qsizetype count : std::as_const(sentencesPerLine)) {
        lines.append(translations.mid(next, count).join(separator));
        next += count;
    }
    const QString joined = lines.join(QLatin1Char('\n'));
    co_return target == chinese ? ChineseSentences::withoutSpacesBetweenSentences(joined) : joined;
}
