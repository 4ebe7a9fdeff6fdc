#include "desktop/portalshortcut.h"

#include "desktop/desktoplog.h"
#include "desktop/desktopportal.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QRandomGenerator>

#include <optional>
#include <utility>

namespace {

constexpr auto shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
// A start-up check must not hold the program up when the portal hangs.
constexpr int checkTimeoutMs = 1000;

// Ids and properties, as BindShortcuts takes them and its Response lists them.
using Shortcuts = QList<QPair<QString, QVariantMap>>;

QString latin1(const char *text)
{
    return QString::fromLatin1(text);
}

// The portal has answered session_handle as a string, and some versions as a path.
QString objectPath(const QVariant &value)
{
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

void closeSessionAt(const QString &session)
{
    if (session.isEmpty())
        return;
    QDBusMessage close = QDBusMessage::createMethodCall(latin1(DesktopPortal::service), session,
                                                        QStringLiteral("org.freedesktop.portal.Session"),
                                                        QStringLiteral("Close"));
    QDBusConnection::sessionBus().asyncCall(close);
}

// Names of the freedesktop shortcuts format (xkbcommon's key names) for keys
// whose Qt name differs.
struct KeyName {
    int key;
    const char *name;
};
constexpr KeyName keyNames[] = {
    {Qt::Key_Space, "space"},
    {Qt::Key_Exclam, "exclam"},
    {Qt::Key_QuoteDbl, "quotedbl"},
    {Qt::Key_NumberSign, "numbersign"},
    {Qt::Key_Dollar, "dollar"},
    {Qt::Key_Percent, "percent"},
    {Qt::Key_Ampersand, "ampersand"},
    {Qt::Key_Apostrophe, "apostrophe"},
    {Qt::Key_ParenLeft, "parenleft"},
    {Qt::Key_ParenRight, "parenright"},
    {Qt::Key_Asterisk, "asterisk"},
    {Qt::Key_Plus, "plus"},
    {Qt::Key_Comma, "comma"},
    {Qt::Key_Minus, "minus"},
    {Qt::Key_Period, "period"},
    {Qt::Key_Slash, "slash"},
    {Qt::Key_Colon, "colon"},
    {Qt::Key_Semicolon, "semicolon"},
    {Qt::Key_Less, "less"},
    {Qt::Key_Equal, "equal"},
    {Qt::Key_Greater, "greater"},
    {Qt::Key_Question, "question"},
    {Qt::Key_At, "at"},
    {Qt::Key_BracketLeft, "bracketleft"},
    {Qt::Key_Backslash, "backslash"},
    {Qt::Key_BracketRight, "bracketright"},
    {Qt::Key_AsciiCircum, "asciicircum"},
    {Qt::Key_Underscore, "underscore"},
    {Qt::Key_QuoteLeft, "grave"},
    {Qt::Key_BraceLeft, "braceleft"},
    {Qt::Key_Bar, "bar"},
    {Qt::Key_BraceRight, "braceright"},
    {Qt::Key_AsciiTilde, "asciitilde"},
    {Qt::Key_Escape, "Escape"},
    {Qt::Key_Tab, "Tab"},
    // Qt records Shift+Tab as Backtab; the trigger keeps the key and its SHIFT.
    {Qt::Key_Backtab, "Tab"},
    {Qt::Key_Backspace, "BackSpace"},
    {Qt::Key_Return, "Return"},
    {Qt::Key_Enter, "KP_Enter"},
    {Qt::Key_Insert, "Insert"},
    {Qt::Key_Delete, "Delete"},
    {Qt::Key_Pause, "Pause"},
    {Qt::Key_Print, "Print"},
    {Qt::Key_Home, "Home"},
    {Qt::Key_End, "End"},
    {Qt::Key_Left, "Left"},
    {Qt::Key_Up, "Up"},
    {Qt::Key_Right, "Right"},
    {Qt::Key_Down, "Down"},
    {Qt::Key_PageUp, "Page_Up"},
    {Qt::Key_PageDown, "Page_Down"},
    {Qt::Key_ScrollLock, "Scroll_Lock"},
    {Qt::Key_Menu, "Menu"},
};

QString keyName(Qt::Key key)
{
    // A letter key's own name is its lower case; SHIFT, when held, is among the modifiers.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QChar(key).toLower();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QChar(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return u'F' + QString::number(key - Qt::Key_F1 + 1);
    for (const KeyName &entry : keyNames) {
        if (entry.key == key)
            return latin1(entry.name);
    }
    return {};
}

// One request's Response signal, subscribed to before the call is made.
class ResponseWatcher final : public QObject
{
    Q_OBJECT

public:
    ResponseWatcher(const QString &path, QObject *parent)
        : QObject(parent)
    {
        follow(path);
    }
    ~ResponseWatcher() override { unsubscribe(); }
    Q_DISABLE_COPY_MOVE(ResponseWatcher)

    void follow(const QString &path)
    {
        if (path == m_path)
            return;
        unsubscribe();
        m_path = path;
        QDBusConnection::sessionBus().connect(latin1(DesktopPortal::service), m_path,
                                              latin1(DesktopPortal::requestInterface), QStringLiteral("Response"), this,
                                              SLOT(respond(uint, QVariantMap)));
    }

Q_SIGNALS:
    void answered(uint response, const QVariantMap &results);

private Q_SLOTS:
    void respond(uint response, const QVariantMap &results) { Q_EMIT answered(response, results); }

private:
    void unsubscribe()
    {
        QDBusConnection::sessionBus().disconnect(latin1(DesktopPortal::service), m_path,
                                                 latin1(DesktopPortal::requestInterface), QStringLiteral("Response"),
                                                 this, SLOT(respond(uint, QVariantMap)));
    }

    QString m_path;
};

// What the desktop shows for our shortcut among `shortcuts`; nullopt when it is not there.
std::optional<QString> ourTrigger(const QVariant &shortcuts, const QString &ours)
{
    for (const auto &[id, properties] : qdbus_cast<Shortcuts>(shortcuts)) {
        if (id == ours)
            return properties.value(QStringLiteral("trigger_description")).toString();
    }
    return std::nullopt;
}

} // namespace

PortalShortcut::PortalShortcut(QString id, QString description, QObject *parent)
    : ShortcutBackend(parent)
    , m_id(std::move(id))
    , m_description(std::move(description))
{
    qDBusRegisterMetaType<QPair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    // Registered already where the application started; this catches a portal that restarted since.
    DesktopPortal::registerApplication();
    QDBusConnection::sessionBus().connect(latin1(DesktopPortal::service), latin1(DesktopPortal::path),
                                          latin1(shortcutsInterface), QStringLiteral("Activated"), this,
                                          SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    QDBusConnection::sessionBus().connect(latin1(DesktopPortal::service), latin1(DesktopPortal::path),
                                          latin1(shortcutsInterface), QStringLiteral("ShortcutsChanged"), this,
                                          SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalShortcut::~PortalShortcut()
{
    closeSession();
}

bool PortalShortcut::isAvailable()
{
    if (!QDBusConnection::sessionBus().isConnected())
        return false;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(
        DesktopPortal::call("org.freedesktop.DBus.Properties", QStringLiteral("Get"),
                            {latin1(shortcutsInterface), QStringLiteral("version")}),
        QDBus::Block, checkTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        qCInfo(lcDesktop) << "no GlobalShortcuts portal:" << reply.errorMessage();
        return false;
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant().toUInt() >= 1;
}

QString PortalShortcut::trigger(const QKeySequence &keys)
{
    if (keys.isEmpty())
        return {};
    const QKeyCombination combination = keys[0];
    const QString key = keyName(combination.key());
    if (key.isEmpty())
        return {};
    QString result;
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    const std::pair<Qt::KeyboardModifier, const char *> names[] = {{Qt::ControlModifier, "CTRL+"},
                                                                   {Qt::AltModifier, "ALT+"},
                                                                   {Qt::ShiftModifier, "SHIFT+"},
                                                                   {Qt::MetaModifier, "LOGO+"}};
    for (const auto &[modifier, name] : names) {
        if (modifiers.testFlag(modifier))
            result += latin1(name);
    }
    return result + key;
}

void PortalShortcut::bind(const QKeySequence &keys)
{
    ++m_generation;
    closeSession();
    if (keys.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { Q_EMIT bound({}); }, Qt::QueuedConnection);
        return;
    }
    const QString sessionToken = QStringLiteral("tolvanis_%1").arg(QRandomGenerator::global()->generate64(), 0, 16);
    request(QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), sessionToken}},
            [this, keys](const QVariantMap &results) {
                setSession(objectPath(results.value(QStringLiteral("session_handle"))));
                if (m_session.isEmpty())
                    Q_EMIT failed(QStringLiteral("桌面拒绝了快捷键。"));
                else
                    bindShortcut(keys);
            });
}

void PortalShortcut::bindShortcut(const QKeySequence &keys)
{
    QVariantMap properties{{QStringLiteral("description"), m_description}};
    if (const QString preferred = trigger(keys); !preferred.isEmpty())
        properties.insert(QStringLiteral("preferred_trigger"), preferred);
    const Shortcuts shortcuts{{m_id, properties}};
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts), QString()}, {},
            [this](const QVariantMap &results) {
                // The desktop binds a subset of what was asked, possibly none.
                if (const auto shown = ourTrigger(results.value(QStringLiteral("shortcuts")), m_id))
                    Q_EMIT bound(*shown);
                else
                    Q_EMIT failed(QStringLiteral("桌面没有绑定这个快捷键。"));
            });
}

void PortalShortcut::request(const QString &method, QVariantList arguments, QVariantMap options, const Answer &answered)
{
    const QString token = QStringLiteral("tolvanis_%1_%2").arg(++m_tokens).arg(QRandomGenerator::global()->generate());
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    const quint64 generation = m_generation;
    // Lives until the Response or the call's error.
    auto *watcher = new ResponseWatcher(DesktopPortal::requestPath(token), this);
    connect(watcher, &ResponseWatcher::answered, this,
            [this, watcher, generation, answered](uint response, const QVariantMap &results) {
                watcher->deleteLater();
                if (generation != m_generation) {
                    // Superseded by a later bind(): a session created meanwhile is nobody's.
                    closeSessionAt(objectPath(results.value(QStringLiteral("session_handle"))));
                    return;
                }
                if (response == 0)
                    answered(results);
                else if (response == 1)
                    Q_EMIT failed(QStringLiteral("桌面拒绝了快捷键：绑定被取消了。"));
                else
                    Q_EMIT failed(QStringLiteral("桌面拒绝了快捷键。"));
            });
    auto *call = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(DesktopPortal::call(shortcutsInterface, method, arguments)), watcher);
    connect(call, &QDBusPendingCallWatcher::finished, watcher,
            [this, watcher, generation](QDBusPendingCallWatcher *done) {
                const QDBusPendingReply<QDBusObjectPath> reply = *done;
                if (!reply.isError()) {
                    // Portals from before predictable handles answer on the path they return.
                    watcher->follow(reply.value().path());
                    return;
                }
                watcher->deleteLater();
                if (generation == m_generation)
                    Q_EMIT failed(QStringLiteral("桌面门户无法设置快捷键：%1").arg(reply.error().message()));
            });
}

void PortalShortcut::setSession(const QString &session)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString interface = QStringLiteral("org.freedesktop.portal.Session");
    if (!m_session.isEmpty())
        bus.disconnect(latin1(DesktopPortal::service), m_session, interface, QStringLiteral("Closed"), this,
                       SLOT(onSessionClosed()));
    m_session = session;
    if (!m_session.isEmpty())
        bus.connect(latin1(DesktopPortal::service), m_session, interface, QStringLiteral("Closed"), this,
                    SLOT(onSessionClosed()));
}

void PortalShortcut::closeSession()
{
    const QString session = m_session;
    setSession({});
    closeSessionAt(session);
}

void PortalShortcut::onShortcutsChanged(const QDBusMessage &signal)
{
    const QVariantList arguments = signal.arguments();
    if (m_session.isEmpty() || arguments.size() != 2 || arguments.at(0).value<QDBusObjectPath>().path() != m_session)
        return;
    if (const auto shown = ourTrigger(arguments.at(1), m_id))
        Q_EMIT bound(*shown);
}

void PortalShortcut::onSessionClosed()
{
    setSession({});
    Q_EMIT failed(QStringLiteral("桌面结束了快捷键，请重新设置。"));
}

void PortalShortcut::onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong /*timestamp*/,
                                 const QVariantMap &options)
{
    if (m_session.isEmpty() || session.path() != m_session || shortcutId != m_id)
        return;
    Q_EMIT activated(options.value(QStringLiteral("activation_token")).toString());
}

#include "portalshortcut.moc"
