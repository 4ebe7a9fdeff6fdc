#pragma once

#include "storage/historyentry.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class HistoryView;
class QKeySequence;
class SpeechReader;
class SubmitTextView;
class TranslationViewModel;

namespace Widgets {
class Button;
class FlipContainer;
class IconButton;
class SegmentedPicker;
class SymbolLabel;
class TitledCard;
} // namespace Widgets

// The translator's panel: header with the logo and the history and
// settings buttons, engine picker, input card, direction control, result card
// with a copy button, error line, and the busy indicator with the translate
// button. Speaker buttons beside the input and the result read them aloud.
// The history button turns the panel over to the history list.
// Everything shown comes from the view model; the panel keeps only whether the
// history is shown and whether the copy confirmation is showing.
class TranslatePanelView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 340;
    static constexpr int copyConfirmationMs = 1200;
    static const QKeySequence readInputKeys;
    static const QKeySequence readResultKeys;

    explicit TranslatePanelView(std::shared_ptr<TranslationViewModel> viewModel, QWidget *parent = nullptr);
    ~TranslatePanelView() override;

    bool isHistoryShown() const { return m_historyShown; }
    bool isCopyConfirmationShown() const { return m_justCopied; }
    HistoryView *historyView() const;
    SubmitTextView *inputField() const { return m_input; }
    SpeechReader *speechReader() const { return m_reader; }

    void showHistory();
    void hideHistory();

Q_SIGNALS:
    // The gear button: the application opens its settings window.
    void openSettingsRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildTranslateContent();
    QLayout *buildHeader(QWidget *parent);
    QLayout *buildDirectionRow(QWidget *parent);
    Widgets::TitledCard *buildResultCard(QWidget *parent);
    QLayout *buildActionRow(QWidget *parent);
    Widgets::IconButton *buildReadButton(const char *name, QWidget *host, int top);
    void toggleReading(Widgets::IconButton *button);
    void connectViewModel();
    void selectHistoryEntry(const HistoryEntry &entry);
    void flashCopied();
    void setJustCopied(bool copied);
    void syncEngine();
    void syncOutput();
    void syncDirection();
    void syncBusy();
    void syncError();
    void syncReading();

    std::shared_ptr<TranslationViewModel> m_viewModel;
    bool m_historyShown = false;
    bool m_justCopied = false;
    Widgets::FlipContainer *m_flip = nullptr;
    QWidget *m_translateContent = nullptr;
    QPointer<HistoryView> m_history;
    Widgets::SegmentedPicker *m_enginePicker = nullptr;
    SubmitTextView *m_input = nullptr;
    Widgets::Button *m_directionButton = nullptr;
    Widgets::TitledCard *m_resultCard = nullptr;
    Widgets::SymbolLabel *m_resultText = nullptr;
    Widgets::IconButton *m_copyButton = nullptr;
    Widgets::SymbolLabel *m_errorLine = nullptr;
    QWidget *m_busy = nullptr;
    Widgets::Button *m_translateButton = nullptr;
    SpeechReader *m_reader = nullptr;
    Widgets::IconButton *m_readInput = nullptr;
    Widgets::IconButton *m_readResult = nullptr;
    // The speaker button whose text the reader reads, if it reads.
    Widgets::IconButton *m_reading = nullptr;
};
