#include "ui/translatepanelview.h"

#include "core/texttrim.h"
#include "storage/historystore.h"
#include "ui/historyview.h"
#include "ui/speechreader.h"
#include "ui/submittextview.h"
#include "ui/tolvanislogo.h"
#include "ui/translationviewmodel.h"
#include "widgets/button.h"
#include "widgets/colors.h"
#include "widgets/flipcontainer.h"
#include "widgets/fonts.h"
#include "widgets/hairline.h"
#include "widgets/iconbutton.h"
#include "widgets/overlayscrollbars.h"
#include "widgets/segmentedpicker.h"
#include "widgets/spinner.h"
#include "widgets/symbollabel.h"
#include "widgets/titledcard.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

using namespace Widgets;

namespace {

constexpr int cardContentHeight = 84;
// Text in the cards keeps this far from the trailing edge, clear of the buttons there.
constexpr int trailingButtonsWidth = 28;

int cornerButtonSide()
{
    return qRound(Symbols::boxSide(11)) + 12;
}

// Keeps a widget at the trailing edge of another, `top` below its top.
class CornerPin final : public QObject
{
public:
    CornerPin(QWidget *pinned, QWidget *host, int top = 0)
        : QObject(pinned)
        , m_pinned(pinned)
        , m_top(top)
    {
        host->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize) {
            auto *host = static_cast<QWidget *>(watched);
            m_pinned->move(host->width() - m_pinned->width(), m_top);
            m_pinned->raise();
        }
        return false;
    }

private:
    QWidget *m_pinned;
    int m_top;
};

} // namespace

const QKeySequence TranslatePanelView::readInputKeys(Qt::CTRL | Qt::Key_R);
const QKeySequence TranslatePanelView::readResultKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_R);

TranslatePanelView::TranslatePanelView(std::shared_ptr<TranslationViewModel> viewModel, QWidget *parent)
    : QWidget(parent)
    , m_viewModel(std::move(viewModel))
    , m_reader(new SpeechReader(this))
{
    setFixedWidth(panelWidth);
    setStyleSheet(OverlayScrollBars::styleSheet());
    m_flip = new FlipContainer(this);
    m_translateContent = buildTranslateContent();
    m_flip->addFace(m_translateContent);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_flip);

    connect(m_flip, &FlipContainer::flipFinished, this, [this](QWidget *current) {
        if (current == m_translateContent) {
            // Discard the lists that were turned away from, but not one that a
            // quick second press of the history button is turning to.
            const auto lists = m_flip->findChildren<HistoryView *>(Qt::FindDirectChildrenOnly);
            for (HistoryView *list : lists) {
                if (!m_historyShown || list != m_history)
                    m_flip->removeFace(list);
            }
            if (!m_historyShown)
                m_input->focusIfInWindow();
        } else if (current == m_history) {
            m_history->setFocus(Qt::OtherFocusReason);
        }
    });
    connectViewModel();
}

TranslatePanelView::~TranslatePanelView() = default;

QWidget *TranslatePanelView::buildTranslateContent()
{
    auto *content = new QWidget(this);
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);

    column->addLayout(buildHeader(content));

    QStringList engines;
    for (EngineKind kind : allCases<EngineKind>())
        engines.append(displayName(kind));
    m_enginePicker = new SegmentedPicker(engines, content);
    m_enginePicker->setObjectName(QStringLiteral("enginePicker"));
    m_enginePicker->setAccessibleName(QStringLiteral("翻译引擎"));
    connect(m_enginePicker, &SegmentedPicker::activated, this,
            [this](int index) { m_viewModel->setSelectedEngine(allCases<EngineKind>().at(index)); });
    column->addWidget(m_enginePicker);

    auto *inputCard = new TitledCard(QStringLiteral("输入"), TitledCard::compact(), content);
    inputCard->setObjectName(QStringLiteral("inputCard"));
    m_input = new SubmitTextView(inputCard->surface());
    m_input->setObjectName(QStringLiteral("inputField"));
    m_input->setAccessibleName(QStringLiteral("输入"));
    m_input->setFixedHeight(cardContentHeight);
    m_input->setTrailingInset(trailingButtonsWidth);
    inputCard->bodyLayout()->addWidget(m_input);
    m_readInput = buildReadButton("readInputButton", inputCard->surface(), 0);
    m_readInput->setAccessibleName(QStringLiteral("朗读输入"));
    connect(m_input, &SubmitTextView::textEdited, this,
            [this](const QString &text) { m_viewModel->setInputText(text); });
    connect(m_input, &SubmitTextView::submitted, this, [this] { m_viewModel->translate(); });
    column->addWidget(inputCard);

    column->addLayout(buildDirectionRow(content));
    m_resultCard = buildResultCard(content);
    column->addWidget(m_resultCard);

    m_errorLine = new SymbolLabel(Symbol::ExclamationmarkTriangleFill, QString(), content);
    m_errorLine->setObjectName(QStringLiteral("errorLine"));
    m_errorLine->setTextFont(Fonts::system(11));
    m_errorLine->setForeground(Foreground::Red);
    m_errorLine->setMaximumLines(2);
    column->addWidget(m_errorLine);

    column->addLayout(buildActionRow(content));
    column->addStretch(1);

    // Return anywhere in the translate content presses the translate button
    // (the input field handles its own Return before this shortcut sees it);
    // the read-aloud keys press the speaker buttons.
    const auto pressOn = [content](const QKeySequence &keys, QAbstractButton *button) {
        auto *shortcut = new QShortcut(keys, content);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
    };
    pressOn(QKeySequence(Qt::Key_Return), m_translateButton);
    pressOn(readInputKeys, m_readInput);
    pressOn(readResultKeys, m_readResult);
    return content;
}

QLayout *TranslatePanelView::buildHeader(QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(new TolvanisLogo(24, parent), 0, Qt::AlignVCenter);
    auto *name = new QLabel(QStringLiteral("tolvanis"), parent);
    name->setFont(Fonts::monospaced(14, QFont::DemiBold));
    row->addWidget(name, 0, Qt::AlignVCenter);
    row->addStretch(1);

    auto *history = new IconButton(Symbol::ClockArrowCirclepath, QStringLiteral("历史记录"), parent);
    history->setObjectName(QStringLiteral("historyButton"));
    connect(history, &QAbstractButton::clicked, this, &TranslatePanelView::showHistory);
    row->addWidget(history, 0, Qt::AlignVCenter);

    auto *settings = new IconButton(Symbol::Gearshape, QStringLiteral("设置"), parent);
    settings->setObjectName(QStringLiteral("settingsButton"));
    connect(settings, &QAbstractButton::clicked, this, &TranslatePanelView::openSettingsRequested);
    row->addWidget(settings, 0, Qt::AlignVCenter);
    return row;
}

QLayout *TranslatePanelView::buildDirectionRow(QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(6);
    m_directionButton = new Button(Button::Kind::Bordered, QString(), parent);
    m_directionButton->setObjectName(QStringLiteral("directionButton"));
    m_directionButton->setSymbol(Symbol::ArrowUpArrowDown);
    m_directionButton->setLabelFont(Fonts::monospaced(11, QFont::Medium));
    connect(m_directionButton, &QAbstractButton::clicked, this,
            [this] { m_viewModel->setDirection(nextDirection(m_viewModel->direction())); });
    row->addWidget(new HairLine(parent), 1, Qt::AlignVCenter);
    row->addWidget(m_directionButton, 0, Qt::AlignVCenter);
    row->addWidget(new HairLine(parent), 1, Qt::AlignVCenter);
    return row;
}

TitledCard *TranslatePanelView::buildResultCard(QWidget *parent)
{
    auto *card = new TitledCard(QStringLiteral("翻译结果"), TitledCard::compact(), parent);
    card->setObjectName(QStringLiteral("resultCard"));
    auto *page = new QWidget;
    auto *pageLayout = new QVBoxLayout(page);
    // Clear of the copy and speaker buttons on the trailing side.
    pageLayout->setContentsMargins(8, 8, trailingButtonsWidth, 8);
    m_resultText = new SymbolLabel(std::nullopt, QString(), page);
    m_resultText->setObjectName(QStringLiteral("resultText"));
    m_resultText->setTextFont(Fonts::system(13));
    pageLayout->addWidget(m_resultText);
    pageLayout->addStretch(1);
    QScrollArea *scroll = OverlayScrollBars::transparentScrollArea(page, card->surface());
    scroll->setObjectName(QStringLiteral("resultScroll"));
    // It takes the focus for scrolling by keys, and tells what it holds.
    scroll->setAccessibleName(QStringLiteral("翻译结果"));
    scroll->setFixedHeight(cardContentHeight);
    card->bodyLayout()->addWidget(scroll);

    m_copyButton = new IconButton(Symbol::DocOnDoc, QStringLiteral("复制翻译结果"), card->surface());
    m_copyButton->setObjectName(QStringLiteral("copyButton"));
    m_copyButton->setSymbolPointSize(11);
    m_copyButton->setSide(cornerButtonSide());
    new CornerPin(m_copyButton, card->surface());
    connect(m_copyButton, &QAbstractButton::clicked, this, [this] {
        m_viewModel->copyResult();
        flashCopied();
    });
    m_readResult = buildReadButton("readResultButton", card->surface(), cornerButtonSide());
    m_readResult->setAccessibleName(QStringLiteral("朗读翻译结果"));
    return card;
}

IconButton *TranslatePanelView::buildReadButton(const char *name, QWidget *host, int top)
{
    auto *button = new IconButton(Symbol::SpeakerWave2, QString(), host);
    button->setObjectName(QString::fromLatin1(name));
    button->setSymbolPointSize(11);
    button->setSide(cornerButtonSide());
    new CornerPin(button, host, top);
    connect(button, &QAbstractButton::clicked, this, [this, button] { toggleReading(button); });
    return button;
}

void TranslatePanelView::toggleReading(IconButton *button)
{
    if (button == m_reading) {
        m_reader->stop();
        return;
    }
    m_reading = button;
    m_reader->read(button == m_readInput ? m_viewModel->inputText() : m_viewModel->outputText());
    syncReading();
}

QLayout *TranslatePanelView::buildActionRow(QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    m_busy = new QWidget(parent);
    m_busy->setObjectName(QStringLiteral("busyIndicator"));
    auto *busyLayout = new QHBoxLayout(m_busy);
    busyLayout->setContentsMargins(0, 0, 0, 0);
    busyLayout->setSpacing(8);
    busyLayout->addWidget(new Spinner(m_busy));
    auto *busyText = new SymbolLabel(std::nullopt, QStringLiteral("翻译中…"), m_busy);
    busyText->setTextFont(Fonts::system(11));
    busyText->setForeground(Foreground::Secondary);
    busyText->setMaximumLines(1);
    busyLayout->addWidget(busyText, 0, Qt::AlignVCenter);
    row->addWidget(m_busy, 0, Qt::AlignVCenter);
    row->addStretch(1);

    m_translateButton = new Button(Button::Kind::Prominent, QStringLiteral("翻译"), parent);
    m_translateButton->setObjectName(QStringLiteral("translateButton"));
    m_translateButton->setSymbol(Symbol::Return);
    m_translateButton->setControlSize(Button::Size::Regular);
    m_translateButton->setLabelFont(Fonts::system(12, QFont::Medium));
    connect(m_translateButton, &QAbstractButton::clicked, this, [this] { m_viewModel->translate(); });
    row->addWidget(m_translateButton, 0, Qt::AlignVCenter);
    return row;
}

void TranslatePanelView::connectViewModel()
{
    TranslationViewModel *model = m_viewModel.get();
    connect(model, &TranslationViewModel::inputTextChanged, this, [this] {
        m_input->updateText(m_viewModel->inputText());
        syncReading();
    });
    connect(model, &TranslationViewModel::outputTextChanged, this, &TranslatePanelView::syncOutput);
    connect(model, &TranslationViewModel::directionChanged, this, &TranslatePanelView::syncDirection);
    connect(model, &TranslationViewModel::selectedEngineChanged, this, &TranslatePanelView::syncEngine);
    connect(model, &TranslationViewModel::isTranslatingChanged, this, &TranslatePanelView::syncBusy);
    connect(model, &TranslationViewModel::errorMessageChanged, this, &TranslatePanelView::syncError);
    connect(m_reader, &SpeechReader::changed, this, &TranslatePanelView::syncReading);

    m_input->updateText(model->inputText());
    syncEngine();
    syncOutput();
    syncDirection();
    syncBusy();
    syncError();
    syncReading();
}

void TranslatePanelView::syncEngine()
{
    const auto cases = allCases<EngineKind>();
    const auto found = std::find(cases.begin(), cases.end(), m_viewModel->selectedEngine());
    m_enginePicker->setCurrentIndex(int(found - cases.begin()));
}

void TranslatePanelView::syncOutput()
{
    const QString output = m_viewModel->outputText();
    const bool hasOutput = !output.isEmpty();
    m_resultText->setText(hasOutput ? output : QStringLiteral("翻译结果将显示在这里"));
    m_resultText->setForeground(hasOutput ? Foreground::Primary : Foreground::Secondary);
    m_resultCard->setAccent(hasOutput);
    m_copyButton->setVisible(hasOutput);
    m_readResult->setVisible(hasOutput);
    syncReading();
}

void TranslatePanelView::syncDirection()
{
    m_directionButton->setText(displayName(m_viewModel->direction()));
    m_directionButton->updateGeometry();
}

void TranslatePanelView::syncBusy()
{
    const bool busy = m_viewModel->isTranslating();
    m_busy->setVisible(busy);
    m_translateButton->setEnabled(!busy);
}

void TranslatePanelView::syncError()
{
    const auto &error = m_viewModel->errorMessage();
    m_errorLine->setText(error.value_or(QString()));
    m_errorLine->setVisible(error.has_value());
}

void TranslatePanelView::syncReading()
{
    if (m_reader->speakingText().isEmpty())
        m_reading = nullptr;
    const auto sync = [this](IconButton *button, const QString &text, const QString &what, const QKeySequence &keys) {
        const QString reason = m_reader->unavailableReason(text);
        const bool speaking = button == m_reading;
        // While it reads, the button stays pressable so that it can stop.
        button->setEnabled(speaking || (reason.isEmpty() && !TextTrim::isBlank(text)));
        button->setSymbol(speaking ? Symbol::StopFill : Symbol::SpeakerWave2);
        button->setForeground(speaking ? Foreground::Accent : Foreground::Secondary);
        const QString action = speaking ? QStringLiteral("停止朗读") : QStringLiteral("朗读") + what;
        button->setToolTip(!speaking && !reason.isEmpty()
                               ? reason
                               : action + QStringLiteral("（%1）").arg(keys.toString(QKeySequence::NativeText)));
    };
    sync(m_readInput, m_viewModel->inputText(), QStringLiteral("输入"), readInputKeys);
    sync(m_readResult, m_viewModel->outputText(), QStringLiteral("翻译结果"), readResultKeys);
}

void TranslatePanelView::flashCopied()
{
    setJustCopied(true);
    // Each press schedules its own reset; a later press neither cancels nor
    // postpones an earlier one. A named object, so that tests can see which
    // resets are still pending.
    auto *reset = new QTimer(this);
    reset->setObjectName(QStringLiteral("copyConfirmationReset"));
    reset->setSingleShot(true);
    reset->setTimerType(Qt::PreciseTimer);
    connect(reset, &QTimer::timeout, this, [this, reset] {
        reset->deleteLater();
        setJustCopied(false);
    });
    reset->start(copyConfirmationMs);
}

void TranslatePanelView::setJustCopied(bool copied)
{
    m_justCopied = copied;
    m_copyButton->setSymbol(copied ? Symbol::Checkmark : Symbol::DocOnDoc);
    m_copyButton->setForeground(copied ? Foreground::Green : Foreground::Secondary);
}

void TranslatePanelView::showHistory()
{
    if (m_historyShown)
        return;
    m_historyShown = true;
    auto *history = new HistoryView(m_viewModel->historyStore(), m_flip);
    history->setObjectName(QStringLiteral("historyView"));
    connect(history, &HistoryView::closeRequested, this, &TranslatePanelView::hideHistory);
    connect(history, &HistoryView::entrySelected, this, &TranslatePanelView::selectHistoryEntry);
    m_history = history;
    m_flip->addFace(history);
    m_flip->flipTo(history);
}

void TranslatePanelView::hideHistory()
{
    if (!m_historyShown)
        return;
    m_historyShown = false;
    m_flip->flipTo(m_translateContent);
}

void TranslatePanelView::selectHistoryEntry(const HistoryEntry &entry)
{
    m_viewModel->setInputText(entry.sourceText);
    m_viewModel->setOutputText(entry.translatedText);
    hideHistory();
}

void TranslatePanelView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Only when the panel itself comes on screen, not when the window is
    // restored or the panel flips between its faces.
    if (event->spontaneous())
        return;
    m_viewModel->prefillFromClipboard();
    // Once the events of showing have been handled, so that the focus lands
    // in a window that is on screen.
    QMetaObject::invokeMethod(m_input, &SubmitTextView::focusIfInWindow, Qt::QueuedConnection);
}

void TranslatePanelView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Closing the panel ends the reading.
    m_reader->stop();
}

HistoryView *TranslatePanelView::historyView() const
{
    return m_history;
}
