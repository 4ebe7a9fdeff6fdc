#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <memory>

class AppSettings;
class ShortcutBackend;

// A desktop-wide key (the selection's, or the screen text's): binds the stored
// combination, follows changes of it, and keeps the setting honest. A failed
// change goes back to the combination that worked; a failure of the binding
// made at start keeps the user's choice (another program may let go of the
// key) and remembers why, for the settings window to say.
class GlobalShortcut final : public QObject
{
    Q_OBJECT

public:
    enum class Purpose {
        Selection,
        ScreenText
    };

    // `backend`: null where this desktop cannot bind a desktop-wide key.
    GlobalShortcut(AppSettings &settings, std::unique_ptr<ShortcutBackend> backend,
                   Purpose purpose = Purpose::Selection, QObject *parent = nullptr);
    ~GlobalShortcut() override;
    Q_DISABLE_COPY_MOVE(GlobalShortcut)

    // The way this desktop lets a program bind a desktop-wide key, if any.
    static std::unique_ptr<ShortcutBackend> desktopBackend(Purpose purpose = Purpose::Selection);

    // Binds the stored combination; later changes of the setting rebind.
    void start();
    bool isAvailable() const { return m_backend != nullptr; }
    // Why the binding made at start failed, until a binding succeeds.
    QString startFailure() const { return m_startFailure; }

Q_SIGNALS:
    void activated(const QString &activationToken);
    // Each outcome, as the settings window's status line shows it.
    void reported(bool bound, const QString &text);

private:
    void apply();
    void onBound(const QString &description);
    void onFailed(const QString &reason);
    QString stored() const;
    void store(const QString &keys);

    AppSettings &m_settings;
    std::unique_ptr<ShortcutBackend> m_backend;
    Purpose m_purpose;
    // What the backend was last asked to bind, and what it last confirmed (or,
    // when the binding at start failed, what the user had chosen).
    QKeySequence m_requested;
    QKeySequence m_bound;
    bool m_started = false;
    QString m_startFailure;
};
