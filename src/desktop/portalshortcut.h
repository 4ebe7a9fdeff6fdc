#pragma once

#include "desktop/shortcutbackend.h"

#include <QVariantMap>

#include <functional>

class QDBusMessage;
class QDBusObjectPath;

// The shortcut through the desktop portal's GlobalShortcuts interface, the
// one way to a desktop-wide key on Wayland. Each binding is a session of its
// own: the portal lets a session bind its shortcuts only once, so a new
// combination closes the old session and creates another. The desktop may
// ask the user to confirm and may choose another trigger than the one
// proposed; bound() carries what it shows.
class PortalShortcut final : public ShortcutBackend
{
    Q_OBJECT

public:
    // `id` names the shortcut to the desktop, which shows `description` with it.
    explicit PortalShortcut(QString id = QStringLiteral("translate-selection"),
                            QString description = QStringLiteral("翻译选中的文字"), QObject *parent = nullptr);
    ~PortalShortcut() override;
    Q_DISABLE_COPY_MOVE(PortalShortcut)

    // Whether the portal offers GlobalShortcuts; blocks for at most a round
    // trip. Register the application with the portal before asking.
    static bool isAvailable();
    // `keys` as a trigger of the freedesktop shortcuts format ("CTRL+ALT+y");
    // empty when its key has no name there, and the desktop then lets the user choose.
    static QString trigger(const QKeySequence &keys);

    void bind(const QKeySequence &keys) override;

private Q_SLOTS:
    void onActivated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong timestamp,
                     const QVariantMap &options);
    // The user gave the shortcut another trigger in the desktop's own settings.
    void onShortcutsChanged(const QDBusMessage &signal);
    // The desktop ended the session (the user revoked it); the key no longer works.
    void onSessionClosed();

private:
    using Answer = std::function<void(const QVariantMap &results)>;
    // Calls a GlobalShortcuts method whose outcome comes as a Request's
    // Response; `answered` runs only for a success that belongs to the latest bind().
    void request(const QString &method, QVariantList arguments, QVariantMap options, const Answer &answered);
    void bindShortcut(const QKeySequence &keys);
    void setSession(const QString &session);
    void closeSession();

    QString m_id;
    QString m_description;
    QString m_session;
    quint64 m_generation = 0;
    quint64 m_tokens = 0;
};
