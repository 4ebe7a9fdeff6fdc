#pragma once

#include "desktop/trayiconimage.h"

#include <QDBusMessage>
#include <QObject>
#include <QRect>

// Where the tray icon's colour comes from: the desktop's colour scheme (the
// Settings portal, followed while running), and for an XEmbed tray the
// colours its manager announces (_NET_SYSTEM_TRAY_COLORS) or, failing that,
// the bar's own pixels around the icon.
class TrayColors final : public QObject
{
    Q_OBJECT

public:
    explicit TrayColors(QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(TrayColors)

    TrayIconImage::ColorScheme scheme() const { return m_scheme; }
    // Hints for an icon embedded at `icon` in an XEmbed tray (an invalid rect: not yet embedded).
    TrayIconImage::BarHints xembedHints(QRect icon) const;

Q_SIGNALS:
    void schemeChanged();

private Q_SLOTS:
    void settingChanged(const QDBusMessage &signal);

private:
    void setScheme(const QVariant &value);

    TrayIconImage::ColorScheme m_scheme = TrayIconImage::ColorScheme::NoPreference;
};
