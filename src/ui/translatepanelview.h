#pragma once

#include "historyentry.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class FlipContainer;
class HistoryView;
class IconButton;
class SegmentedPicker;
class SubmitTextView;
class SymbolLabel;
class TitledCard;
class ToolkitButton;
class TranslationViewModel;

// The translator's panel, 340 wide: header with the logo and the history and
// settings buttons, engine picker, input card, direction control, result card
// with a copy button, error line, and the busy indicator with the translate
// button. The history button turns the panel over to the history list.
// Everything shown comes from the view model; the panel keeps only whether the
// history is shown and whether the copy confirmation is showing.
class TranslatePanelView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 340;
    static constexpr int copyConfirmationMs = 1200;

    explicit TranslatePanelView(std::shared_ptr<TranslationViewModel> viewModel, QWidget *parent = nullptr);
    ~TranslatePanelView() override;

    bool isHistoryShown() const { return m_historyShown; }
    bool isCopyConfirmationShown() const { return m_justCopied; }
    HistoryView *historyView() const;
    SubmitTextView *inputField() const { return m_input; }

    void showHistory();
    void hideHistory();

Q_SIGNALS:
    // The gear button: the application opens its settings window.
    void openSettingsRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QWidget *buildTranslateContent();
    QLayout *buildHeader(QWidget *parent);
    QLayout *buildDirectionRow(QWidget *parent);
    TitledCard *buildResultCard(QWidget *parent);
    QLayout *buildActionRow(QWidget *parent);
    void connectViewModel();
    void selectHistoryEntry(const HistoryEntry &entry);
    void flashCopied();
    void setJustCopied(bool copied);
    void syncEngine();
    void syncOutput();
    void syncDirection();
    void syncBusy();
    void syncError();

    std::shared_ptr<TranslationViewModel> m_viewModel;
    bool m_historyShown = false;
    bool m_justCopied = false;
    FlipContainer *m_flip = nullptr;
    QWidget *m_translateContent = nullptr;
    QPointer<HistoryView> m_history;
    SegmentedPicker *m_enginePicker = nullptr;
    SubmitTextView *m_input = nullptr;
    ToolkitButton *m_directionButton = nullptr;
    TitledCard *m_resultCard = nullptr;
    SymbolLabel *m_resultText = nullptr;
    IconButton *m_copyButton = nullptr;
    SymbolLabel *m_errorLine = nullptr;
    QWidget *m_busy = nullptr;
    ToolkitButton *m_translateButton = nullptr;
};
