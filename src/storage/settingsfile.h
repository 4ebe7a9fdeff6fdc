#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

class QSettings;

// The settings file: an INI file of string and byte-array values under
// <XDG config dir>/tolvanis/tolvanis.conf. Every write is synced at once;
// QSettings writes through QSaveFile, so the file is replaced atomically. The
// file is private to the user, and so is its folder when created here.
// Write failures (an unwritable directory, a full disk) are logged, not
// returned: no caller could do better than keep its in-memory state, which
// stays the truth while running.
class SettingsFile final
{
public:
    explicit SettingsFile(const QString &filePath);
    ~SettingsFile();
    Q_DISABLE_COPY_MOVE(SettingsFile)

    static QString standardFilePath();

    QString filePath() const;
    // No value when the key is missing or holds another type.
    std::optional<QString> string(const QString &key) const;
    std::optional<QByteArray> data(const QString &key) const;
    void setString(const QString &key, const QString &value);
    void setData(const QString &key, const QByteArray &value);
    bool contains(const QString &key) const;

private:
    void sync();

    std::unique_ptr<QSettings> m_settings;
    bool m_reportedFailure = false;
};
