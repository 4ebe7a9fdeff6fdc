#pragma once

#include "core/enginekind.h"
#include "core/result.h"
#include "core/translationdirection.h"

#include <QClipboard>
#include <QCoroTask>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class AppSettings;
class HistoryStore;
class TranslationEngine;

// What the translate panel shows and edits, and one translation request from
// the input to the output and the history. Requests run as coroutines on the
// GUI thread; each keeps the view model alive until it completes. Every
// success is recorded in the history, but only the latest request sets the
// output, the error line and the busy state. Create it through create().
class TranslationViewModel final : public QObject, public std::enable_shared_from_this<TranslationViewModel>
{
    Q_OBJECT
    Q_PROPERTY(QString inputText READ inputText WRITE setInputText NOTIFY inputTextChanged)
    Q_PROPERTY(QString outputText READ outputText WRITE setOutputText NOTIFY outputTextChanged)
    Q_PROPERTY(TranslationDirection direction READ direction WRITE setDirection NOTIFY directionChanged)
    Q_PROPERTY(EngineKind selectedEngine READ selectedEngine WRITE setSelectedEngine NOTIFY selectedEngineChanged)
    Q_PROPERTY(bool isTranslating READ isTranslating NOTIFY isTranslatingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)

public:
    // Far beyond any real translation: a longer reply is cut here before the
    // panel lays it out or the history keeps it, as laying out megabytes
    // froze the panel for seconds.
    static constexpr qsizetype maximumResultLength = 50000;

    static std::shared_ptr<TranslationViewModel> create(std::shared_ptr<TranslationEngine> systemEngine,
                                                        std::shared_ptr<TranslationEngine> llmEngine,
                                                        HistoryStore &historyStore, AppSettings &settings);
    ~TranslationViewModel() override;
    Q_DISABLE_COPY_MOVE(TranslationViewModel)

    QString inputText() const { return m_inputText; }
    QString outputText() const { return m_outputText; }
    TranslationDirection direction() const { return m_direction; }
    EngineKind selectedEngine() const { return m_selectedEngine; }
    bool isTranslating() const { return m_isTranslating; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    HistoryStore &historyStore() const { return m_historyStore; }

    void setInputText(const QString &text);
    void setOutputText(const QString &text);
    void setDirection(TranslationDirection direction);
    void setSelectedEngine(EngineKind engine);

    // Starts a request and returns at once; blank input only sets the error.
    void translate();
    // Takes the clipboard's (or the selection's) text as input, unless a
    // password manager marked it secret, and clears output and error. True
    // when there was text to take.
    bool prefillFromClipboard(QClipboard::Mode mode = QClipboard::Clipboard);
    // Shows the busy state until `text` (read off the screen) arrives, then
    // takes it as input and translates it; a failure's reason becomes the
    // error line and the input stays as it was.
    void translateWhenReady(QCoro::Task<Result<QString>> text);
    void copyResult();

Q_SIGNALS:
    void inputTextChanged();
    void outputTextChanged();
    void directionChanged();
    void selectedEngineChanged();
    void isTranslatingChanged();
    void errorMessageChanged();

private:
    TranslationViewModel(std::shared_ptr<TranslationEngine> systemEngine, std::shared_ptr<TranslationEngine> llmEngine,
                         HistoryStore &historyStore, AppSettings &settings);

    QCoro::Task<> run(std::shared_ptr<TranslationEngine> engine, QString source, QString from, QString to,
                      quint64 request);
    QCoro::Task<> awaitInput(QCoro::Task<Result<QString>> text, quint64 request);
    void setTranslating(bool translating);
    void setErrorMessage(std::optional<QString> message);

    QString m_inputText;
    QString m_outputText;
    TranslationDirection m_direction = TranslationDirection::Auto;
    EngineKind m_selectedEngine;
    bool m_isTranslating = false;
    quint64 m_latestRequest = 0;
    std::optional<QString> m_errorMessage;
    HistoryStore &m_historyStore;
    AppSettings &m_settings;
    std::shared_ptr<TranslationEngine> m_systemEngine;
    std::shared_ptr<TranslationEngine> m_llmEngine;
};
