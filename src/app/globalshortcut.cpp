#include "app/globalshortcut.h"

#include "app/applog.h"
#include "desktop/portalshortcut.h"
#include "desktop/shortcutbackend.h"
#include "desktop/x11shortcut.h"
#include "storage/appsettings.h"

GlobalShortcut::GlobalShortcut(AppSettings &settings, std::unique_ptr<ShortcutBackend> backend, Purpose purpose,
                               QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_backend(std::move(backend))
    , m_purpose(purpose)
{ }

GlobalShortcut::~GlobalShortcut() = default;

std::unique_ptr<ShortcutBackend> GlobalShortcut::desktopBackend(Purpose purpose)
{
    // The desktop portal's GlobalShortcuts, where offered, comes first: it is
    // the only way on Wayland and lets the desktop show the binding.
    // Asked once for both keys: each question may wait a second on a slow portal.
    static const bool portal = PortalShortcut::isAvailable();
    if (portal) {
        if (purpose == Purpose::ScreenText)
            return std::make_unique<PortalShortcut>(QStringLiteral("translate-screen-text"),
                                                    QStringLiteral("截图翻译"));
        return std::make_unique<PortalShortcut>();
    }
    if (X11Shortcut::isAvailable())
        return std::make_unique<X11Shortcut>();
    return nullptr;
}

void GlobalShortcut::start()
{
    if (!m_backend)
        return;
    connect(m_backend.get(), &ShortcutBackend::activated, this, &GlobalShortcut::activated, Qt::QueuedConnection);
    // Queued: an outcome may change the setting, which must not happen while
    // the setting is still being assigned.
    connect(m_backend.get(), &ShortcutBackend::bound, this, &GlobalShortcut::onBound, Qt::QueuedConnection);
    connect(m_backend.get(), &ShortcutBackend::failed, this, &GlobalShortcut::onFailed, Qt::QueuedConnection);
    connect(&m_settings,
            m_purpose == Purpose::ScreenText ? &AppSettings::screenTextShortcutChanged
                                             : &AppSettings::globalShortcutChanged,
            this, &GlobalShortcut::apply);
    apply();
}

void GlobalShortcut::apply()
{
    const QKeySequence keys = QKeySequence::fromString(stored(), QKeySequence::PortableText);
    if (keys == m_requested && m_started)
        return;
    m_requested = keys;
    m_backend->bind(keys);
}

void GlobalShortcut::onBound(const QString &description)
{
    m_bound = m_requested;
    m_started = true;
    m_startFailure.clear();
    const QString shown = description.isEmpty() ? m_bound.toString(QKeySequence::NativeText) : description;
    const QString name = m_purpose == Purpose::ScreenText ? QStringLiteral("截图翻译快捷键")
                                                          : QStringLiteral("全局快捷键");
    Q_EMIT reported(true, shown.isEmpty() ? name + QStringLiteral("已关闭") : name + QStringLiteral("：") + shown);
}

void GlobalShortcut::onFailed(const QString &reason)
{
    qCWarning(lcApp) << "global shortcut not bound:" << reason;
    Q_EMIT reported(false, reason);
    if (!m_started) {
        // Still the user's choice, to go back to after a failed change.
        m_bound = m_requested;
        m_startFailure = reason;
    } else {
        m_requested = m_bound;
        store(m_bound.toString(QKeySequence::PortableText));
    }
    m_started = true;
}

QString GlobalShortcut::stored() const
{
    return m_purpose == Purpose::ScreenText ? m_settings.screenTextShortcut() : m_settings.globalShortcut();
}

void GlobalShortcut::store(const QString &keys)
{
    if (m_purpose == Purpose::ScreenText)
        m_settings.setScreenTextShortcut(keys);
    else
        m_settings.setGlobalShortcut(keys);
}
