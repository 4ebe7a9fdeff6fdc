#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>

#include <optional>

class QMenu;
class StatusNotifierItem;
class TrayColors;

// The icon in whatever tray the desktop has: a StatusNotifierItem while a
// StatusNotifierWatcher is on the bus, else an XEmbed icon (QSystemTrayIcon,
// which follows an XEmbed tray that appears later by itself). Either can come
// and go while the program runs; the icon moves between them.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    // `menu` is published to StatusNotifierItem hosts; it stays owned by the caller.
    explicit TrayIcon(QMenu *menu, QObject *parent = nullptr);
    ~TrayIcon() override;
    Q_DISABLE_COPY_MOVE(TrayIcon)

    void show();
    bool isInTray() const;
    // The icon's place on screen where the tray tells it (XEmbed only).
    QRect geometry() const;
    StatusNotifierItem *statusNotifierItem() const { return m_item; }

Q_SIGNALS:
    // A click on the icon; `hostAnchor` is where a StatusNotifierItem host says it was.
    void activated(std::optional<QPoint> hostAnchor);
    void menuRequested(std::optional<QPoint> hostAnchor);
    // The pointer came onto the icon, so a click may follow (XEmbed trays;
    // StatusNotifierItem hosts do not tell).
    void hovered();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void useXEmbed(bool use);
    void recolorIfMoved();
    void xembedActivated(QSystemTrayIcon::ActivationReason reason);
    void recolor();

    StatusNotifierItem *m_item = nullptr;
    TrayColors *m_colors = nullptr;
    QPointer<QSystemTrayIcon> m_xembed;
    QRect m_probedGeometry;
    // The colour the StatusNotifierItem image was last drawn in.
    std::optional<QColor> m_itemColor;
    bool m_shown = false;
};
