#include "desktop/x11shortcut.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <array>
#include <memory>

namespace {

constexpr std::uint8_t badAccess = 10;
constexpr std::uint16_t comboMask = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
// CapsLock is Lock and NumLock is Mod2 on every stock keymap.
constexpr std::array<std::uint16_t, 4> lockStates = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                     XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};

std::uint16_t modifierMask(Qt::KeyboardModifiers modifiers)
{
    std::uint16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// The X keysym of a Qt key; 0 for keys a shortcut has no business with.
std::uint32_t keysym(Qt::Key key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return key - Qt::Key_A + 'a'; // the unshifted symbol of the letter key
    if ((key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde) ||
        (key >= Qt::Key_nobreakspace && key <= Qt::Key_ydiaeresis))
        return key; // Latin-1 keysyms are their code points
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + (key - Qt::Key_F1);
    static const std::array<std::pair<Qt::Key, std::uint32_t>, 17> special = {{
        {Qt::Key_Escape, 0xff1b},
        {Qt::Key_Tab, 0xff09},
        {Qt::Key_Backspace, 0xff08},
        {Qt::Key_Return, 0xff0d},
        {Qt::Key_Enter, 0xff8d},
        {Qt::Key_Insert, 0xff63},
        {Qt::Key_Delete, 0xffff},
        {Qt::Key_Pause, 0xff13},
        {Qt::Key_Print, 0xff61},
        {Qt::Key_Home, 0xff50},
        {Qt::Key_End, 0xff57},
        {Qt::Key_Left, 0xff51},
        {Qt::Key_Up, 0xff52},
        {Qt::Key_Right, 0xff53},
        {Qt::Key_Down, 0xff54},
        {Qt::Key_PageUp, 0xff55},
        {Qt::Key_PageDown, 0xff56},
    }};
    for (const auto &[qt, x] : special)
        if (qt == key)
            return x;
    return 0;
}

QString keysText(const QKeySequence &keys)
{
    return keys.toString(QKeySequence::NativeText);
}

} // namespace

X11Shortcut::X11Shortcut(QObject *parent)
    : ShortcutBackend(parent)
{
    if (auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        m_connection = x11->connection();
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        qGuiApp->installNativeEventFilter(this);
    }
}

X11Shortcut::~X11Shortcut()
{
    if (m_grab)
        ungrab(*m_grab);
    if (m_connection)
        xcb_flush(m_connection);
}

bool X11Shortcut::isAvailable()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
}

void X11Shortcut::bind(const QKeySequence &keys)
{
    if (keys.isEmpty()) {
        if (m_grab)
            ungrab(*m_grab);
        m_grab.reset();
        Q_EMIT bound(QString());
        return;
    }
    const std::optional<Grab> wanted = resolve(keys);
    if (!wanted) {
        Q_EMIT failed(QStringLiteral("无法绑定 %1：键盘上没有这个键").arg(keysText(keys)));
        return;
    }
    if (wanted == m_grab) {
        Q_EMIT bound(QString());
        return;
    }
    // The new one first: when another program holds it, the old one stays.
    if (!grab(*wanted)) {
        Q_EMIT failed(QStringLiteral("%1 已被其他程序占用，请换一个组合键").arg(keysText(keys)));
        return;
    }
    if (m_grab)
        ungrab(*m_grab);
    m_grab = wanted;
    Q_EMIT bound(QString());
}

std::optional<X11Shortcut::Grab> X11Shortcut::resolve(const QKeySequence &keys) const
{
    if (!m_connection || keys.count() != 1)
        return std::nullopt;
    const QKeyCombination combination = keys[0];
    const std::uint32_t wanted = keysym(combination.key());
    const std::uint16_t modifiers = modifierMask(combination.keyboardModifiers());
    // A bare key would be taken from every application.
    if (wanted == 0 || (modifiers & ~XCB_MOD_MASK_SHIFT) == 0)
        return std::nullopt;

    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const std::unique_ptr<xcb_get_keyboard_mapping_reply_t, FreeDeleter> mapping(xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, setup->min_keycode, count), nullptr));
    if (!mapping)
        return std::nullopt;
    const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perCode = mapping->keysyms_per_keycode;
    // The first group's plain and shifted symbols: what the key is labelled with.
    for (int column = 0; column < std::min(perCode, 2); ++column) {
        for (int code = 0; code < count; ++code) {
            if (symbols[code * perCode + column] == wanted)
                return Grab{static_cast<std::uint8_t>(setup->min_keycode + code), modifiers};
        }
    }
    return std::nullopt;
}

bool X11Shortcut::grab(Grab keys)
{
    std::array<xcb_void_cookie_t, lockStates.size()> cookies{};
    for (std::size_t i = 0; i < lockStates.size(); ++i)
        cookies[i] = xcb_grab_key_checked(m_connection, 1, m_root, keys.modifiers | lockStates[i], keys.keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool taken = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        const std::unique_ptr<xcb_generic_error_t, FreeDeleter> error(xcb_request_check(m_connection, cookie));
        taken = taken || (error && error->error_code == badAccess);
    }
    if (taken)
        ungrab(keys); // the lock states we did get
    return !taken;
}

void X11Shortcut::ungrab(Grab keys)
{
    for (const std::uint16_t locks : lockStates)
        xcb_ungrab_key(m_connection, keys.keycode, m_root, keys.modifiers | locks);
    xcb_flush(m_connection);
}

bool X11Shortcut::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_grab || eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    // A key event any client sent with SendEvent (the high bit set) is not
    // the user pressing the keys.
    if (event->response_type & 0x80)
        return false;
    const std::uint8_t type = event->response_type;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    // Press and release events share one layout.
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (key->event != m_root || key->detail != m_grab->keycode)
        return false;
    if (type == XCB_KEY_RELEASE) {
        m_lastRelease = key->time;
        return false;
    }
    // A held key repeats as releases and presses of the same moment; one
    // translation per press is enough.
    if ((key->state & comboMask) == m_grab->modifiers && key->time != m_lastRelease)
        Q_EMIT activated(QString());
    // Qt still sees the press: it takes the press's time as the user's latest
    // action, which the window manager asks of a window that wants the focus.
    return false;
}
