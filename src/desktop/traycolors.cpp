#include "desktop/traycolors.h"

#include "desktop/desktopportal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <xcb/xcb.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

constexpr auto settingsInterface = "org.freedesktop.portal.Settings";
constexpr auto appearance = "org.freedesktop.appearance";
constexpr auto colorSchemeKey = "color-scheme";

// The atoms of a tray's selection and of its colours: both asked for at once
// and kept, as an atom lasts as long as the X server. Every recolouring of
// the icon needs them, the first one before the icon shows.
struct TrayAtoms {
    xcb_atom_t selection = XCB_ATOM_NONE;
    xcb_atom_t colors = XCB_ATOM_NONE;
};

TrayAtoms trayAtoms(xcb_connection_t *connection, int screen)
{
    static std::optional<TrayAtoms> known;
    if (known)
        return *known;
    const QByteArray names[] = {"_NET_SYSTEM_TRAY_S" + QByteArray::number(screen), "_NET_SYSTEM_TRAY_COLORS"};
    xcb_intern_atom_cookie_t cookies[2];
    for (int i = 0; i < 2; ++i)
        cookies[i] = xcb_intern_atom(connection, false, names[i].size(), names[i].constData());
    xcb_atom_t atoms[2];
    for (int i = 0; i < 2; ++i) {
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr), &free);
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    if (atoms[0] == XCB_ATOM_NONE || atoms[1] == XCB_ATOM_NONE)
        return {};
    known = TrayAtoms{atoms[0], atoms[1]};
    return *known;
}

// The tray manager's normal foreground colour, when it announces one.
std::optional<QColor> announcedForeground()
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    const int screen = dot > display.lastIndexOf(':') ? display.mid(dot + 1).toInt() : 0;
    const auto [selection, colors] = trayAtoms(connection, screen);
    if (selection == XCB_ATOM_NONE)
        return std::nullopt;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr), &free);
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return std::nullopt;
    std::unique_ptr<xcb_get_property_reply_t, decltype(&free)> property(
        xcb_get_property_reply(
            connection, xcb_get_property(connection, false, owner->owner, colors, XCB_ATOM_CARDINAL, 0, 12), nullptr),
        &free);
    // Four colours (normal, error, warning, success) of three 16-bit components each.
    if (!property || property->format != 32 || xcb_get_property_value_length(property.get()) < 12)
        return std::nullopt;
    const auto *rgb = static_cast<const quint32 *>(xcb_get_property_value(property.get()));
    return QColor::fromRgba64(quint16(rgb[0]), quint16(rgb[1]), quint16(rgb[2]));
}

// The bar's colour from the four corners of the icon's window: the mark's
// rounded outline never reaches them, so they show the tray behind it.
std::optional<QColor> backgroundAround(QRect icon)
{
    QScreen *screen = QGuiApplication::screenAt(icon.center());
    if (!icon.isValid() || !screen || QGuiApplication::platformName() != QLatin1String("xcb"))
        return std::nullopt;
    const QImage grab = screen->grabWindow(0, icon.x(), icon.y(), icon.width(), icon.height()).toImage();
    if (grab.width() < 2 || grab.height() < 2)
        return std::nullopt;
    QList<QRgb> corners{grab.pixel(0, 0), grab.pixel(grab.width() - 1, 0), grab.pixel(0, grab.height() - 1),
                        grab.pixel(grab.width() - 1, grab.height() - 1)};
    std::sort(corners.begin(), corners.end(), [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
    return QColor(corners.at(1)); // a median: one corner may be the bar's edge
}

} // namespace

TrayColors::TrayColors(QObject *parent)
    : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // The whole message, so that a signal of an unexpected shape is ignored, not refused.
    bus.connect(QString::fromLatin1(DesktopPortal::service), QString::fromLatin1(DesktopPortal::path),
                QString::fromLatin1(settingsInterface), QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QDBusMessage)));
    const QDBusMessage read = DesktopPortal::call(
        settingsInterface, QStringLiteral("Read"),
        {QString::fromLatin1(appearance), QString::fromLatin1(colorSchemeKey)});
    auto *pending = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
        call->deleteLater();
        const QDBusMessage reply = call->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
            setScheme(reply.arguments().constFirst());
    });
}

void TrayColors::settingChanged(const QDBusMessage &signal)
{
    const QVariantList args = signal.arguments();
    if (args.size() == 3 && args.at(0).toString() == QLatin1String(appearance) &&
        args.at(1).toString() == QLatin1String(colorSchemeKey))
        setScheme(args.at(2));
}

void TrayColors::setScheme(const QVariant &value)
{
    // Read wraps the value in one more variant than SettingChanged does.
    QVariant inner = value;
    while (inner.canConvert<QDBusVariant>() && inner.metaType() == QMetaType::fromType<QDBusVariant>())
        inner = inner.value<QDBusVariant>().variant();
    using TrayIconImage::ColorScheme;
    const uint code = inner.toUInt();
    const ColorScheme scheme = code == 1 ? ColorScheme::Dark
        : code == 2                      ? ColorScheme::Light
                                         : ColorScheme::NoPreference;
    if (scheme == m_scheme)
        return;
    m_scheme = scheme;
    Q_EMIT schemeChanged();
}

TrayIconImage::BarHints TrayColors::xembedHints(QRect icon) const
{
    return {announcedForeground(), backgroundAround(icon), m_scheme};
}
