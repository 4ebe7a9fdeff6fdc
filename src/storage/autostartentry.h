#pragma once

#include <QString>

#include <optional>

// Start at login through the XDG autostart directory: the program is a login
// item when <config>/autostart/tolvanis.desktop exists and is not switched off
// by Hidden=true or X-GNOME-Autostart-enabled=false. An entry whose Exec= runs
// another program (a moved or older binary) is enabled but starts nothing of ours.
class AutostartEntry
{
public:
    // An empty executable path means the running program.
    explicit AutostartEntry(QString desktopFilePath = standardFilePath(), QString executablePath = {});
    virtual ~AutostartEntry() = default;

    static QString standardFilePath();

    virtual bool isEnabled() const;
    // Whether the entry's Exec= starts the executable this item is for.
    virtual bool startsThisProgram() const;
    // Each returns the reason on failure, nothing on success.
    virtual std::optional<QString> enable();
    virtual std::optional<QString> disable();

    QString desktopFilePath() const { return m_desktopFilePath; }
    QString desktopEntry() const;

private:
    QString executable() const;

    QString m_desktopFilePath;
    QString m_executablePath;
};
