#pragma once

#include "desktop/dbustraytypes.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QImage>
#include <QObject>

#include <functional>
#include <optional>

class QDBusServiceWatcher;
class QMenu;

// The tray icon for StatusNotifierItem hosts (waybar, KDE Plasma, GNOME's
// AppIndicator extension), exported at /StatusNotifierItem with its menu at
// /MenuBar. Our own rather than QSystemTrayIcon's: Qt drops the coordinates
// of Activate, and it decides once at start whether a watcher exists, so an
// item started before the host (autostart at login) never showed up.
// It registers whenever a watcher appears, again after a host restart.
class StatusNotifierItem final : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ id)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(DBusImageList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyName)
    Q_PROPERTY(DBusImageList OverlayIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionIconName READ emptyName)
    Q_PROPERTY(DBusImageList AttentionIconPixmap READ noImages)
    Q_PROPERTY(QString AttentionMovieName READ emptyName)
    Q_PROPERTY(DBusToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    static constexpr auto watcherService = "org.kde.StatusNotifierWatcher";
    static constexpr auto itemPath = "/StatusNotifierItem";
    static constexpr auto menuPath = "/MenuBar";

    // Exports the item and `menu` on the session bus and watches for a
    // watcher; `iconName` is looked up in the icon theme (and `iconThemePath`).
    StatusNotifierItem(QMenu *menu, const QString &iconName, const QString &iconThemePath, QObject *parent = nullptr);
    ~StatusNotifierItem() override;
    Q_DISABLE_COPY_MOVE(StatusNotifierItem)

    bool isRegistered() const { return m_registered; }
    // Whether a watcher is on the bus; registering with it follows.
    bool hasWatcher() const { return m_hasWatcher; }
    QString serviceName() const { return m_serviceName; }
    // The image for hosts that do not recolour the named icon, drawn by `draw`
    // when a host first reads it after each change: behind an XEmbed tray no
    // host ever does, and drawing it would only delay the icon there.
    void setIconImage(std::function<QImage()> draw);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("tolvanis"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return m_iconName; }
    QString iconThemePath() const { return m_iconThemePath; }
    DBusImageList iconPixmap() const;
    QString emptyName() const { return {}; }
    DBusImageList noImages() const { return {}; }
    DBusToolTip toolTip() const;
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(menuPath); }

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString &orientation);

Q_SIGNALS:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString &status);

    // The host's point, in global coordinates; (0, 0) where it does not know.
    void activateRequested(int x, int y);
    void contextMenuRequested(int x, int y);
    void registeredChanged(bool registered);

private:
    void registerWithWatcher();
    void setRegistered(bool registered);

    QString m_serviceName;
    QString m_iconName;
    QString m_iconThemePath;
    std::function<QImage()> m_drawIcon;
    mutable std::optional<DBusImageList> m_pixmap;
    QDBusServiceWatcher *m_watcher = nullptr;
    bool m_hasWatcher = false;
    bool m_registered = false;
};
