#include "storage/appsettings.h"

#include "storage/settingsfile.h"

namespace {

const QString defaultEngineKey = QStringLiteral("com.quendrix.tolvanis.defaultEngine");
const QString llmProviderKey = QStringLiteral("com.quendrix.tolvanis.llmProvider");
const QString openAIBaseURLKey = QStringLiteral("com.quendrix.tolvanis.openAIBaseURL");
const QString openAIModelKey = QStringLiteral("com.quendrix.tolvanis.openAIModel");
const QString globalShortcutKey = QStringLiteral("com.quendrix.tolvanis.globalShortcut");
const QString screenTextShortcutKey = QStringLiteral("com.quendrix.tolvanis.screenTextShortcut");

// Assigns and announces a change; the caller writes the value through even when
// it is unchanged, so the store always holds what the user last chose.
template<typename T, typename Signal>
void assign(AppSettings *settings, T &field, const T &value, Signal signal)
{
    if (field == value)
        return;
    field = value;
    Q_EMIT(settings->*signal)();
}

} // namespace

AppSettings::AppSettings(SettingsFile &file, AutostartEntry autostart, QObject *parent)
    : QObject(parent)
    , m_file(file)
    , m_autostart(std::move(autostart))
    , m_defaultEngine(file.string(defaultEngineKey).value_or(QString()) == rawValue(EngineKind::LLM)
                          ? EngineKind::LLM
                          : EngineKind::System)
    , m_llmProvider(file.string(llmProviderKey).value_or(QString()) == rawValue(LLMProvider::OpenAICompatible)
                        ? LLMProvider::OpenAICompatible
                        : LLMProvider::Anthropic)
    , m_openAIBaseURL(file.string(openAIBaseURLKey).value_or(defaultOpenAIBaseURL()))
    , m_openAIModel(file.string(openAIModelKey).value_or(defaultOpenAIModel()))
    , m_globalShortcut(file.string(globalShortcutKey).value_or(defaultGlobalShortcut()))
    , m_screenTextShortcut(file.string(screenTextShortcutKey).value_or(defaultScreenTextShortcut()))
    , m_launchAtLogin(false)
{
    // An entry older versions wrote under the old name is moved, as it is, to
    // the application id's. An entry whose program is gone (a moved or removed
    // binary) would start nothing at login. Any other entry is the user's: a
    // wrapper or another copy stays as written. A failure leaves the flag off,
    // which is what the entry then does.
    static_cast<void>(m_autostart.moveFromOldName());
    if (m_autostart.isEnabled() && !m_autostart.startsAnExistingProgram())
        static_cast<void>(m_autostart.enable());
    m_launchAtLogin = autostartStartsUs();
}

AppSettings::~AppSettings() = default;

QString AppSettings::defaultOpenAIBaseURL()
{
    return QStringLiteral("https://api.openai.com/v1");
}

QString AppSettings::defaultOpenAIModel()
{
    return QStringLiteral("gpt-4o-mini");
}

// Taken by none of GNOME's, KDE Plasma's or Xfce's own shortcuts (the README
// says which neighbours are).
QString AppSettings::defaultGlobalShortcut()
{
    return QStringLiteral("Ctrl+Alt+Y");
}

// O for OCR; like Ctrl+Alt+Y, in none of the three desktops' default lists.
QString AppSettings::defaultScreenTextShortcut()
{
    return QStringLiteral("Ctrl+Alt+O");
}

void AppSettings::setDefaultEngine(EngineKind engine)
{
    assign(this, m_defaultEngine, engine, &AppSettings::defaultEngineChanged);
    m_file.setString(defaultEngineKey, rawValue(engine));
}

void AppSettings::setLLMProvider(LLMProvider provider)
{
    assign(this, m_llmProvider, provider, &AppSettings::llmProviderChanged);
    m_file.setString(llmProviderKey, rawValue(provider));
}

void AppSettings::setOpenAIBaseURL(const QString &url)
{
    assign(this, m_openAIBaseURL, url, &AppSettings::openAIBaseURLChanged);
    m_file.setString(openAIBaseURLKey, url);
}

void AppSettings::setOpenAIModel(const QString &model)
{
    assign(this, m_openAIModel, model, &AppSettings::openAIModelChanged);
    m_file.setString(openAIModelKey, model);
}

void AppSettings::setGlobalShortcut(const QString &keys)
{
    assign(this, m_globalShortcut, keys, &AppSettings::globalShortcutChanged);
    m_file.setString(globalShortcutKey, keys);
}

void AppSettings::setScreenTextShortcut(const QString &keys)
{
    assign(this, m_screenTextShortcut, keys, &AppSettings::screenTextShortcutChanged);
    m_file.setString(screenTextShortcutKey, keys);
}

void AppSettings::setLaunchAtLogin(bool enabled)
{
    Result<void> changed;
    if (enabled && !autostartStartsUs())
        changed = m_autostart.enable();
    else if (!enabled && m_autostart.isEnabled())
        changed = m_autostart.disable();
    const bool actual = autostartStartsUs();
    // The switch that asked already shows `enabled`: it must hear when that is not so.
    if (actual != m_launchAtLogin || actual != enabled) {
        m_launchAtLogin = actual;
        Q_EMIT launchAtLoginChanged();
    }
    if (!changed)
        Q_EMIT launchAtLoginFailed(changed.error());
}

bool AppSettings::autostartStartsUs() const
{
    return m_autostart.isEnabled() && m_autostart.startsThisProgram();
}
