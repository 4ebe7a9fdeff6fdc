#pragma once

#include "desktop/shortcutbackend.h"

#include <QAbstractNativeEventFilter>

#include <cstdint>
#include <optional>

struct xcb_connection_t;

// A passive grab of one key combination on the X11 root window: the X server
// then hands that combination to us whichever window has the focus. It is
// grabbed once for each state of NumLock and CapsLock, which count as
// modifiers to the server, and released on rebinding and when we go away.
class X11Shortcut final : public ShortcutBackend, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11Shortcut(QObject *parent = nullptr);
    ~X11Shortcut() override;
    Q_DISABLE_COPY_MOVE(X11Shortcut)

    // Only on an X11 session: under XWayland a root-window grab hears the key
    // only while one of XWayland's own windows has the focus.
    static bool isAvailable();

    void bind(const QKeySequence &keys) override;
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
        bool operator==(const Grab &) const = default;
    };

    std::optional<Grab> resolve(const QKeySequence &keys) const;
    bool grab(Grab keys);
    void ungrab(Grab keys);

    xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::optional<Grab> m_grab;
    std::uint32_t m_lastRelease = 0;
};
