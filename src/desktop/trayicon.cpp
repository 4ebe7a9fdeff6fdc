#include "desktop/trayicon.h"

#include "desktop/statusnotifieritem.h"
#include "desktop/traycolors.h"
#include "desktop/trayiconimage.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

namespace {

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
    recolor();
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show()
{
    m_shown = true;
    // Qt decides on the first QSystemTrayIcon whether it talks to a
    // StatusNotifierWatcher or an XEmbed tray, and never again; so one is
    // made only while no watcher is on the bus, and it is always XEmbed.
    useXEmbed(!m_item->hasWatcher() && !m_item->isRegistered());
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
    // The window Qt made for the icon tells when the tray embeds, moves,
    // resizes or exposes it: the colours behind the icon are looked at then,
    // and no timer wakes an idle program.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->inherits("QSystemTrayIconSys"))
            window->installEventFilter(this);
    }
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Paint:
        // Recolouring repaints the icon: only a new place starts it, and only
        // once the event is handled.
        if (m_xembed && m_xembed->geometry() != m_probedGeometry)
            QMetaObject::invokeMethod(this, &TrayIcon::recolorIfMoved, Qt::QueuedConnection);
        break;
    case QEvent::Enter:
        Q_EMIT hovered();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::recolorIfMoved()
{
    if (m_xembed && m_xembed->geometry() != m_probedGeometry)
        recolor();
}

void TrayIcon::xembedActivated(QSystemTrayIcon::ActivationReason reason)
{
    // A tray moves icons it holds without telling them (only their socket
    // windows move): a click is the moment the place matters.
    recolorIfMoved();
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
    // it looks like the symbolic icon. It depends on the scheme alone, so the
    // tray's moves redraw only the XEmbed icon, and hosts hear of a new icon
    // only when there is one.
    const TrayIconImage::ColorScheme scheme = m_colors->scheme();
    const QColor itemColor = scheme == TrayIconImage::ColorScheme::NoPreference
        ? TrayIconImage::symbolicColor()
        : TrayIconImage::markColor({{}, {}, scheme});
    if (m_itemColor != itemColor) {
        m_itemColor = itemColor;
        m_item->setIconImage([itemColor] { return TrayIconImage::renderImage(itemColor); });
    }
    if (m_xembed) {
        m_probedGeometry = m_xembed->geometry();
        m_xembed->setIcon(renderTrayIcon(TrayIconImage::markColor(m_colors->xembedHints(m_probedGeometry))));
    }
}
