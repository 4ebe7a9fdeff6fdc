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
// stays the truth while running. A file that is not a regular file (a FIFO
// would block start-up) or is larger than maximumSize is neither read nor
// replaced: the program runs on defaults and says so in the log.
class SettingsFile final
{
public:
    static constexpr qint64 maximumSize = 32 * 1024 * 1024;

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

    QString m_filePath;
    bool m_unusable;
    std::unique_ptr<QSettings> m_settings;
    bool m_reportedFailure = false;
};
