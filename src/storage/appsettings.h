#pragma once

#include "core/enginekind.h"
#include "core/llmconnection.h"
#include "storage/autostartentry.h"

#include <QObject>
#include <QString>

class SettingsFile;

// The user's preferences. The six stored settings are read once at
// construction and written through to the settings file on every
// assignment; the login flag mirrors the XDG autostart entry: on only while
// the entry is enabled and starts this program, which it is made to at start.
class AppSettings final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(EngineKind defaultEngine READ defaultEngine WRITE setDefaultEngine NOTIFY defaultEngineChanged)
    Q_PROPERTY(LLMProvider llmProvider READ llmProvider WRITE setLLMProvider NOTIFY llmProviderChanged)
    Q_PROPERTY(QString openAIBaseURL READ openAIBaseURL WRITE setOpenAIBaseURL NOTIFY openAIBaseURLChanged)
    Q_PROPERTY(QString openAIModel READ openAIModel WRITE setOpenAIModel NOTIFY openAIModelChanged)
    Q_PROPERTY(QString globalShortcut READ globalShortcut WRITE setGlobalShortcut NOTIFY globalShortcutChanged)
    Q_PROPERTY(
        QString screenTextShortcut READ screenTextShortcut WRITE setScreenTextShortcut NOTIFY screenTextShortcutChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)

public:
    AppSettings(SettingsFile &file, AutostartEntry autostart, QObject *parent = nullptr);
    ~AppSettings() override;
    Q_DISABLE_COPY_MOVE(AppSettings)

    static QString defaultOpenAIBaseURL();
    static QString defaultOpenAIModel();
    static QString defaultGlobalShortcut();
    static QString defaultScreenTextShortcut();

    EngineKind defaultEngine() const { return m_defaultEngine; }
    LLMProvider llmProvider() const { return m_llmProvider; }
    QString openAIBaseURL() const { return m_openAIBaseURL; }
    QString openAIModel() const { return m_openAIModel; }
    LLMConnection llmConnection() const { return {m_llmProvider, m_openAIBaseURL, m_openAIModel}; }
    // The desktop-wide key that translates the selection, as QKeySequence's
    // portable text; empty when the user turned it off.
    QString globalShortcut() const { return m_globalShortcut; }
    // The desktop-wide key that translates text on a region of the screen, the same way.
    QString screenTextShortcut() const { return m_screenTextShortcut; }
    bool launchAtLogin() const { return m_launchAtLogin; }

    void setDefaultEngine(EngineKind engine);
    void setLLMProvider(LLMProvider provider);
    void setOpenAIBaseURL(const QString &url);
    void setOpenAIModel(const QString &model);
    void setGlobalShortcut(const QString &keys);
    void setScreenTextShortcut(const QString &keys);
    void setLaunchAtLogin(bool enabled);

Q_SIGNALS:
    void defaultEngineChanged();
    void llmProviderChanged();
    void openAIBaseURLChanged();
    void openAIModelChanged();
    void globalShortcutChanged();
    void screenTextShortcutChanged();
    void launchAtLoginChanged();
    // The autostart entry could not be written or removed; the flag shows what is.
    void launchAtLoginFailed(const QString &reason);

private:
    bool autostartStartsUs() const;

    SettingsFile &m_file;
    AutostartEntry m_autostart;
    EngineKind m_defaultEngine;
    LLMProvider m_llmProvider;
    QString m_openAIBaseURL;
    QString m_openAIModel;
    QString m_globalShortcut;
    QString m_screenTextShortcut;
    bool m_launchAtLogin;
};
