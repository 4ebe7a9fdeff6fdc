#include "desktop/trayicon.h"

#include "desktop/statusnotifieritem.h"
#include "desktop/traycolors.h"
#include "desktop/trayiconimage.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace {

// The XEmbed icon's place is looked at often while it may still change (just
// shown, embedded, clicked) and ever more rarely while it stays put, so that
// an idle program does not wake up every second.
constexpr int probeSoonestMs = 1000;
constexpr int probeLatestMs = 64000;

// The icon theme next to the program, for hosts that do not search the
// prefix it was installed to: bin/../share/icons once installed, the build
// tree's icons when run from there.
QString installedIconThemePath()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const QString &relative : {QStringLiteral("../share/icons"), QStringLiteral("../../icons")}) {
        const QString dir = QDir::cleanPath(bin.absoluteFilePath(relative));
        if (QFileInfo::exists(dir + QStringLiteral("/hicolor/scalable/apps")))
            return dir;
    }
    return {};
}

std::optional<QPoint> hostPoint(int x, int y)
{
    // Hosts that do not know where the click was send (0, 0).
    if (x == 0 && y == 0)
        return std::nullopt;
    return QPoint(x, y);
}

} // namespace

TrayIcon::TrayIcon(QMenu *menu, QObject *parent)
    : QObject(parent)
    , m_item(new StatusNotifierItem(menu, QString::fromLatin1(TrayIconImage::symbolicName), installedIconThemePath(),
                                    this))
    , m_colors(new TrayColors(this))
    , m_xembedProbe(new QTimer(this))
{
    connect(m_item, &StatusNotifierItem::activateRequested, this,
            [this](int x, int y) { Q_EMIT activated(hostPoint(x, y)); });
    connect(m_item, &StatusNotifierItem::contextMenuRequested, this,
            [this](int x, int y) { Q_EMIT menuRequested(hostPoint(x, y)); });
    connect(m_item, &StatusNotifierItem::registeredChanged, this, [this](bool registered) {
        if (m_shown)
            useXEmbed(!registered);
    });
    connect(m_colors, &TrayColors::schemeChanged, this, &TrayIcon::recolor);
    // The XEmbed tray gives no signal when it embeds or moves the icon.
    m_xembedProbe->setInterval(probeSoonestMs);
    connect(m_xembedProbe, &QTimer::timeout, this, [this] {
        if (m_xembed && m_xembed->geometry() != m_probedGeometry) {
            recolor();
            m_xembedProbe->setInterval(probeSoonestMs);
        } else {
            m_xembedProbe->setInterval(std::min(2 * m_xembedProbe->interval(), probeLatestMs));
        }
    });
    recolor();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show()
{
    m_shown = true;
    // Qt decides on the first QSystemTrayIcon whether it talks to a
    // StatusNotifierWatcher or an XEmbed tray, and never again; so one is
    // made only while no watcher is on the bus, and it is always XEmbed.
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool watcher = bus.isConnected() &&
        bus.interface()->isServiceRegistered(QString::fromLatin1(StatusNotifierItem::watcherService));
    useXEmbed(!watcher && !m_item->isRegistered());
}

bool TrayIcon::isInTray() const
{
    return m_item->isRegistered() || (m_xembed && QSystemTrayIcon::isSystemTrayAvailable());
}

QRect TrayIcon::geometry() const
{
    return m_xembed ? m_xembed->geometry() : QRect();
}

void TrayIcon::useXEmbed(bool use)
{
    if (!use) {
        m_xembedProbe->stop();
        delete m_xembed;
        return;
    }
    if (m_xembed)
        return;
    m_xembed = new QSystemTrayIcon(this);
    m_xembed->setToolTip(QStringLiteral("tolvanis"));
    connect(m_xembed, &QSystemTrayIcon::activated, this, &TrayIcon::xembedActivated);
    m_probedGeometry = QRect();
    recolor();
    m_xembed->show();
    m_xembedProbe->start(probeSoonestMs);
}

void TrayIcon::xembedActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A click may follow a move of the tray: look again soon.
    m_xembedProbe->start(probeSoonestMs);
    const bool controlHeld = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    if (reason == QSystemTrayIcon::Context || (reason == QSystemTrayIcon::Trigger && controlHeld))
        Q_EMIT menuRequested(std::nullopt);
    else if (reason == QSystemTrayIcon::Trigger)
        Q_EMIT activated(std::nullopt);
}

void TrayIcon::recolor()
{
    // Hosts that recolour take the symbolic icon by name; the pixmap is for
    // the rest, whose default bars are dark (waybar): without a colour scheme
    // it looks like the symbolic icon.
    const TrayIconImage::ColorScheme scheme = m_colors->scheme();
    m_item->setIconImage(TrayIconImage::renderImage(scheme == TrayIconImage::ColorScheme::NoPreference
                                                        ? TrayIconImage::symbolicColor()
                                                        : TrayIconImage::markColor({{}, {}, scheme})));
    if (m_xembed) {
        m_probedGeometry = m_xembed->geometry();
        m_xembed->setIcon(renderTrayIcon(TrayIconImage::markColor(m_colors->xembedHints(m_probedGeometry))));
    }
}
