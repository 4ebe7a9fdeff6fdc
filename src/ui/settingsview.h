#pragma once

#include "keystore.h"

#include <QWidget>

#include <array>
#include <optional>

class AppSettings;
class QGraphicsOpacityEffect;
class QLayout;
class QPropertyAnimation;
class QScrollArea;

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

// The settings window's content, 420 × 460: the language-model card (provider,
// its connection details and API key) and the general card (default engine,
// the global shortcut, start at login), then a short-lived status line. Settings are written
// through to AppSettings as they are edited; the keys are local copies that
// reach the secret store only through their "保存" and "清除" buttons. The key
// fields are refilled from the store each time the view is shown, without
// waiting for it.
class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int viewWidth = 420;
    // Both cards whole, the shortcut row with its hint included, without scrolling.
    static constexpr int viewHeight = 522;
    // How long each status message stays before it fades out.
    static constexpr int statusDurationMs = 2000;

    SettingsView(AppSettings &settings, KeyStore &secrets, QWidget *parent = nullptr);
    ~SettingsView() override;
    Q_DISABLE_COPY_MOVE(SettingsView)

    // The text of the account's key field.
    QString keyInput(ApiKeyAccount account) const;
    // The status line's text while it is shown.
    std::optional<QString> statusMessage() const { return m_statusMessage; }

    // What binding the global shortcut came to, for the status line.
    void reportShortcut(bool bound, const QString &text);
    // No way to bind a desktop-wide key here: the row says what to do instead.
    void setShortcutUnavailable();

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Outcome { Done, Failed };

    // One API key's field and buttons. `revision` counts the changes the user
    // made to the field, so that an answer from the store that was asked for
    // before the latest change does not overwrite it.
    struct KeyEditor {
        Widgets::RoundedTextField *field = nullptr;
        Widgets::Button *save = nullptr;
        Widgets::Button *clear = nullptr;
        quint64 revision = 0;
    };

    Widgets::TitledCard *sectionCard(const QString &title, Widgets::Symbol icon, QWidget *parent);
    QWidget *fieldRow(const QString &title, QWidget *field, QWidget *parent);
    QLayout *saveClearRow(ApiKeyAccount account, QWidget *parent);
    Widgets::SymbolLabel *hint(const QString &text, QWidget *parent);
    Widgets::RoundedTextField *keyField(ApiKeyAccount account, const QString &placeholder, QWidget *parent);
    Widgets::RoundedTextField *settingField(const QString &placeholder, QWidget *parent);
    Widgets::TitledCard *buildLanguageModelCard(QWidget *parent);
    Widgets::TitledCard *buildGeneralCard(QWidget *parent);
    QWidget *buildAnthropicRows(QWidget *parent);
    QWidget *buildOpenAIRows(QWidget *parent);
    Widgets::SymbolLabel *buildStatusLine(QWidget *parent);
    void connectSettings();

    KeyEditor &editor(ApiKeyAccount account);
    const KeyEditor &editor(ApiKeyAccount account) const;
    QCoro::Task<> loadKey(ApiKeyAccount account, quint64 generation);
    QCoro::Task<> saveKey(ApiKeyAccount account);
    QCoro::Task<> clearKey(ApiKeyAccount account);

    void showStatus(const QString &text, Outcome outcome);
    void fadeStatus(bool in);
    void revealStatus();

    void syncProvider();
    void syncBaseURL();
    void syncModel();
    void syncDefaultEngine();
    void syncLaunchAtLogin();
    void syncGlobalShortcut();

    AppSettings &m_settings;
    KeyStore &m_secrets;
    std::array<KeyEditor, 2> m_keys;
    quint64 m_loadGeneration = 0;
    std::optional<QString> m_statusMessage;

    QScrollArea *m_scroll = nullptr;
    Widgets::SegmentedPicker *m_providerPicker = nullptr;
    QWidget *m_anthropicRows = nullptr;
    QWidget *m_openAIRows = nullptr;
    Widgets::RoundedTextField *m_baseURLField = nullptr;
    Widgets::RoundedTextField *m_modelField = nullptr;
    Widgets::PopUpPicker *m_defaultEnginePicker = nullptr;
    Widgets::SwitchToggle *m_launchAtLoginSwitch = nullptr;
    Widgets::KeyRecorder *m_shortcutRecorder = nullptr;
    Widgets::Button *m_shortcutOff = nullptr;
    Widgets::SymbolLabel *m_shortcutHint = nullptr;
    Widgets::SymbolLabel *m_statusLine = nullptr;
    QGraphicsOpacityEffect *m_statusOpacity = nullptr;
    QPropertyAnimation *m_statusFade = nullptr;
};
