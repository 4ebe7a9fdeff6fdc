#include "desktop/statusnotifieritem.h"

#include "desktop/dbusmenuexporter.h"
#include "desktop/desktoplog.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QtEndian>

namespace {

DBusImage toDBusImage(const QImage &source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    DBusImage result{image.width(), image.height(), {}};
    result.argb.resize(qsizetype(image.width()) * image.height() * 4);
    auto *out = reinterpret_cast<quint32 *>(result.argb.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            *out++ = qToBigEndian(line[x]);
    }
    return result;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(QMenu *menu, const QString &iconName, const QString &iconThemePath,
                                       QObject *parent)
    : QObject(parent)
    , m_serviceName(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
    , m_iconName(iconName)
    , m_iconThemePath(iconThemePath)
{
    DBusTrayTypes::registerTypes();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcDesktop) << "no session bus: no StatusNotifierItem";
        return;
    }
    auto *exporter = new DBusMenuExporter(menu, this);
    const auto contents = QDBusConnection::ExportScriptableContents | QDBusConnection::ExportAllProperties;
    if (!bus.registerObject(QString::fromLatin1(menuPath), exporter, contents) ||
        !bus.registerObject(QString::fromLatin1(itemPath), this, contents) || !bus.registerService(m_serviceName)) {
        qCWarning(lcDesktop) << "could not export the StatusNotifierItem:" << bus.lastError().message();
        return;
    }
    m_watcher = new QDBusServiceWatcher(QString::fromLatin1(watcherService), bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                setRegistered(false);
                m_hasWatcher = !newOwner.isEmpty();
                if (m_hasWatcher)
                    registerWithWatcher();
            });
    m_hasWatcher = bus.interface()->isServiceRegistered(QString::fromLatin1(watcherService));
    if (m_hasWatcher)
        registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(QString::fromLatin1(itemPath));
    bus.unregisterObject(QString::fromLatin1(menuPath));
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(watcherService), QStringLiteral("/StatusNotifierWatcher"),
        QString::fromLatin1(watcherService), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto *pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        if (call->isError()) {
            qCWarning(lcDesktop) << "the StatusNotifierWatcher refused the item:" << call->error().message();
            return;
        }
        setRegistered(true);
    });
}

void StatusNotifierItem::setRegistered(bool registered)
{
    if (m_registered == registered)
        return;
    m_registered = registered;
    Q_EMIT registeredChanged(registered);
}

void StatusNotifierItem::setIconImage(std::function<QImage()> draw)
{
    m_drawIcon = std::move(draw);
    m_pixmap.reset();
    Q_EMIT NewIcon();
}

DBusImageList StatusNotifierItem::iconPixmap() const
{
    if (!m_pixmap) {
        const QImage image = m_drawIcon ? m_drawIcon() : QImage();
        // Hosts pick the size that suits their bar: offer the 1x and the 2x image.
        m_pixmap = image.isNull()
            ? DBusImageList()
            : DBusImageList{toDBusImage(image.scaled(image.size() / 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)),
                            toDBusImage(image)};
    }
    return *m_pixmap;
}

DBusToolTip StatusNotifierItem::toolTip() const
{
    return {m_iconName, {}, id(), {}};
}

void StatusNotifierItem::Activate(int x, int y)
{
    Q_EMIT activateRequested(x, y);
}

void StatusNotifierItem::SecondaryActivate(int x, int y)
{
    // A middle click: the same as a left click, as most items treat it.
    Q_EMIT activateRequested(x, y);
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    Q_EMIT contextMenuRequested(x, y);
}

void StatusNotifierItem::Scroll(int, const QString &)
{ }
