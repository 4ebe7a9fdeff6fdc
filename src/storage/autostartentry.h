#pragma once

#include "core/result.h"

#include <QString>

// Start at login through the XDG autostart directory: the program is a login
// item when <config>/autostart/com.quendrix.tolvanis.desktop exists and is not
// switched off by Hidden=true or X-GNOME-Autostart-enabled=false. An entry whose
// Exec= runs another program (a moved or older binary) is enabled but starts
// nothing of ours. Versions before the application id named the entry
// tolvanis.desktop: while only that one exists, it is the entry.
// An entry is never pointed at a program in a folder others may write to.
class AutostartEntry final
{
public:
    // An empty executable path means the running program.
    explicit AutostartEntry(QString desktopFilePath = standardFilePath(), QString executablePath = {});

    static QString standardFilePath();

    bool isEnabled() const;
    // Whether the entry's Exec= starts the executable this item is for.
    bool startsThisProgram() const;
    // Renames an entry that has only the old name to the new one, as it is.
    Result<void> moveFromOldName();
    // Whether the program the entry's Exec= runs is there at all; a wrapper
    // such as `env … tolvanis` or another copy counts.
    bool startsAnExistingProgram() const;
    Result<void> enable();
    Result<void> disable();

    QString desktopFilePath() const { return m_desktopFilePath; }
    QString desktopEntry() const;

private:
    QString oldNamePath() const;
    QString entryPath() const;
    QString executable() const;
    QString programPath() const;
    Failure logged(const QString &reason) const;

    QString m_desktopFilePath;
    QString m_executablePath;
};
