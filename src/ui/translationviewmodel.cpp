#include "ui/translationviewmodel.h"

#include "core/languagedetector.h"
#include "core/languagenames.h"
#include "core/texttrim.h"
#include "core/translationengine.h"
#include "core/translationerror.h"
#include "storage/appsettings.h"
#include "storage/historystore.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace {

// Password managers (KeePassXC, KWallet/Klipper and others) mark copied secrets
// with this type so clipboard tools leave them alone; so do we.
bool isMarkedSecret(const QMimeData *mime)
{
    static const QString hintType = QStringLiteral("x-kde-passwordManagerHint");
    return mime->hasFormat(hintType) && mime->data(hintType) == "secret";
}

} // namespace

std::shared_ptr<TranslationViewModel> TranslationViewModel::create(std::shared_ptr<TranslationEngine> systemEngine,
                                                                   std::shared_ptr<TranslationEngine> llmEngine,
                                                                   HistoryStore &historyStore, AppSettings &settings)
{
    return std::shared_ptr<TranslationViewModel>(
        new TranslationViewModel(std::move(systemEngine), std::move(llmEngine), historyStore, settings));
}

TranslationViewModel::TranslationViewModel(std::shared_ptr<TranslationEngine> systemEngine,
                                           std::shared_ptr<TranslationEngine> llmEngine, HistoryStore &historyStore,
                                           AppSettings &settings)
    : m_selectedEngine(settings.defaultEngine())
    , m_historyStore(historyStore)
    , m_settings(settings)
    , m_systemEngine(std::move(systemEngine))
    , m_llmEngine(std::move(llmEngine))
{ }

TranslationViewModel::~TranslationViewModel() = default;

void TranslationViewModel::setInputText(const QString &text)
{
    if (m_inputText == text)
        return;
    m_inputText = text;
    Q_EMIT inputTextChanged();
}

void TranslationViewModel::setOutputText(const QString &text)
{
    if (m_outputText == text)
        return;
    m_outputText = text;
    Q_EMIT outputTextChanged();
}

void TranslationViewModel::setDirection(TranslationDirection direction)
{
    if (m_direction == direction)
        return;
    m_direction = direction;
    Q_EMIT directionChanged();
}

void TranslationViewModel::setSelectedEngine(EngineKind engine)
{
    if (m_selectedEngine == engine)
        return;
    m_selectedEngine = engine;
    Q_EMIT selectedEngineChanged();
}

void TranslationViewModel::setTranslating(bool translating)
{
    if (m_isTranslating == translating)
        return;
    m_isTranslating = translating;
    Q_EMIT isTranslatingChanged();
}

void TranslationViewModel::setErrorMessage(std::optional<QString> message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = std::move(message);
    Q_EMIT errorMessageChanged();
}

void TranslationViewModel::translate()
{
    const QString source = m_inputText;
    if (TextTrim::isBlank(source)) {
        setErrorMessage(TranslationError::emptyInput().errorDescription());
        return;
    }
    setErrorMessage(std::nullopt);
    setTranslating(true);

    std::shared_ptr<TranslationEngine> engine = m_selectedEngine == EngineKind::System ? m_systemEngine : m_llmEngine;
    bool fromChinese = false;
    switch (m_direction) {
    case TranslationDirection::Auto:
        fromChinese = LanguageDetector::isPrimarilyChinese(source);
        break;
    case TranslationDirection::ZhToEn:
        fromChinese = true;
        break;
    case TranslationDirection::EnToZh:
        fromChinese = false;
        break;
    }
    const QString from = fromChinese ? LanguageName::chinese() : LanguageName::english();
    const QString to = fromChinese ? LanguageName::english() : LanguageName::chinese();
    // Not awaited: the coroutine starts at once and finishes on its own.
    run(std::move(engine), source, from, to, ++m_latestRequest);
}

QCoro::Task<> TranslationViewModel::run(std::shared_ptr<TranslationEngine> engine, QString source, QString from,
                                        QString to, quint64 request)
{
    const std::shared_ptr<TranslationViewModel> keepAlive = shared_from_this();
    std::optional<QString> failure;
    QString result;
    try {
        result = co_await engine->translate(source, from, to);
    } catch (const TranslationError &error) {
        failure = error.errorDescription();
    } catch (...) {
        // Whatever else a library threw is no text for the user: its what()
        // is English at best and may quote the request.
        failure = QStringLiteral("未知错误");
    }

    std::optional<QString> notice;
    if (!failure && result.size() > maximumResultLength) {
        // Never half of a surrogate pair at the cut.
        result.truncate(result[maximumResultLength - 1].isHighSurrogate() ? maximumResultLength - 1
                                                                          : maximumResultLength);
        notice = QStringLiteral("译文过长，仅显示前五万字");
    }
    // An older request is still a correct translation of what was asked, but
    // the panel by now shows newer input and waits for a newer answer.
    if (!failure)
        m_historyStore.add(source, result, engine->name());
    if (request != m_latestRequest)
        co_return;
    if (failure) {
        setErrorMessage(std::move(failure));
    } else {
        setOutputText(result);
        setErrorMessage(std::move(notice));
    }
    setTranslating(false);
}

void TranslationViewModel::translateWhenReady(QCoro::Task<Result<QString>> text)
{
    setOutputText(QString());
    setErrorMessage(std::nullopt);
    setTranslating(true);
    awaitInput(std::move(text), ++m_latestRequest);
}

QCoro::Task<> TranslationViewModel::awaitInput(QCoro::Task<Result<QString>> text, quint64 request)
{
    const std::shared_ptr<TranslationViewModel> keepAlive = shared_from_this();
    const Result<QString> read = co_await std::move(text);
    // The user asked for something else meanwhile; that request owns the panel.
    if (request != m_latestRequest)
        co_return;
    setTranslating(false);
    if (!read) {
        setErrorMessage(read.error());
        co_return;
    }
    setInputText(read.value());
    translate();
}

bool TranslationViewModel::prefillFromClipboard(QClipboard::Mode mode)
{
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData(mode);
    const QString text = mime && mime->hasText() && !isMarkedSecret(mime) ? mime->text() : QString();
    if (!text.isEmpty())
        setInputText(text);
    setOutputText(QString());
    setErrorMessage(std::nullopt);
    return !text.isEmpty();
}

void TranslationViewModel::copyResult()
{
    if (m_outputText.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(m_outputText, QClipboard::Clipboard);
}
