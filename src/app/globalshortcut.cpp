#include "app/globalshortcut.h"

#include "app/applog.h"
#include "desktop/portalshortcut.h"
#include "desktop/shortcutbackend.h"
#include "desktop/x11shortcut.h"
#include "storage/appsettings.h"

GlobalShortcut::GlobalShortcut(AppSettings &settings, std::unique_ptr<ShortcutBackend> backend, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_backend(std::move(backend))
{ }

GlobalShortcut::~GlobalShortcut() = default;

std::unique_ptr<ShortcutBackend> GlobalShortcut::desktopBackend()
{
    // The desktop portal's GlobalShortcuts, where offered, comes first: it is
    // the only way on Wayland and lets the desktop show the binding.
    if (PortalShortcut::isAvailable())
        return std::make_unique<PortalShortcut>();
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
    connect(&m_settings, &AppSettings::globalShortcutChanged, this, &GlobalShortcut::apply);
    apply();
}

void GlobalShortcut::apply()
{
    const QKeySequence keys = QKeySequence::fromString(m_settings.globalShortcut(), QKeySequence::PortableText);
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
    Q_EMIT reported(true,
                    shown.isEmpty() ? QStringLiteral("全局快捷键已关闭") : QStringLiteral("全局快捷键：%1").arg(shown));
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
        m_settings.setGlobalShortcut(m_bound.toString(QKeySequence::PortableText));
    }
    m_started = true;
}
