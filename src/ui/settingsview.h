#pragma once

#include <QWidget>

#include <array>
#include <optional>

class ApiKeyRow;
class AppSettings;
class KeyStore;
class QScrollArea;
class StatusLine;

namespace Widgets {
class Button;
class KeyRecorder;
class PopUpPicker;
class RoundedTextField;
class SegmentedPicker;
class SwitchToggle;
class SymbolLabel;
class TitledCard;
enum class Symbol;
} // namespace Widgets

// The settings window's content: the language-model card (provider,
// its connection details and API key) and the general card (default engine,
// the global shortcuts, start at login), then a short-lived status line. Settings are written
// through to AppSettings as they are edited; each API key has its own row that
// talks to the secret store. The key fields are refilled from the store each
// time the view is shown, without waiting for it.
class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int viewWidth = 420;
    // Both cards whole, the shortcut row with its hint included, without scrolling.
    static constexpr int viewHeight = 560;

    SettingsView(AppSettings &settings, KeyStore &secrets, QWidget *parent = nullptr);
    ~SettingsView() override;
    Q_DISABLE_COPY_MOVE(SettingsView)

    // The status line's text while it is shown.
    std::optional<QString> statusMessage() const;

    // What binding the global shortcut came to, for the status line.
    void reportShortcut(bool bound, const QString &text);
    // No way to bind a desktop-wide key here: the row says what to do instead.
    void setShortcutUnavailable();

protected:
    void showEvent(QShowEvent *event) override;

private:
    Widgets::TitledCard *sectionCard(const QString &title, Widgets::Symbol icon, QWidget *parent);
    QWidget *fieldRow(const QString &title, QWidget *field, QWidget *parent);
    Widgets::SymbolLabel *hint(const QString &text, QWidget *parent);
    Widgets::RoundedTextField *settingField(const QString &placeholder, QWidget *parent);
    Widgets::TitledCard *buildLanguageModelCard(QWidget *parent);
    Widgets::TitledCard *buildGeneralCard(QWidget *parent);
    QWidget *buildAnthropicRows(QWidget *parent);
    QWidget *buildOpenAIRows(QWidget *parent);
    void connectSettings();

    void revealStatus();

    void syncProvider();
    void syncBaseURL();
    void syncModel();
    void syncDefaultEngine();
    void syncLaunchAtLogin();
    void syncGlobalShortcut();
    void syncScreenTextShortcut();
    // Another of our shortcuts has `keys` already: the status line says so.
    bool refuseDuplicate(const QKeySequence &keys, const QString &otherShortcut);

    AppSettings &m_settings;
    KeyStore &m_secrets;
    StatusLine *m_status = nullptr;
    std::array<ApiKeyRow *, 2> m_keyRows{};

    QScrollArea *m_scroll = nullptr;
    Widgets::SegmentedPicker *m_providerPicker = nullptr;
    QWidget *m_anthropicRows = nullptr;
    QWidget *m_openAIRows = nullptr;
    Widgets::RoundedTextField *m_baseURLField = nullptr;
    Widgets::SymbolLabel *m_plainHTTPWarning = nullptr;
    Widgets::RoundedTextField *m_modelField = nullptr;
    Widgets::PopUpPicker *m_defaultEnginePicker = nullptr;
    Widgets::SwitchToggle *m_launchAtLoginSwitch = nullptr;
    Widgets::KeyRecorder *m_shortcutRecorder = nullptr;
    Widgets::Button *m_shortcutOff = nullptr;
    Widgets::SymbolLabel *m_shortcutHint = nullptr;
    Widgets::KeyRecorder *m_screenTextRecorder = nullptr;
    Widgets::Button *m_screenTextOff = nullptr;
};
