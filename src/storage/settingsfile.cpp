#include "storage/settingsfile.h"

#include "storage/storagelog.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// The file holds every translated text, so it is for the user's eyes only.
constexpr QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions groupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther |
    QFile::WriteOther | QFile::ExeOther;

// QSettings creates a missing folder and file with the umask's modes, but
// replaces an existing file keeping its mode: so the folder and an empty file
// are made private first, and an existing file loses other users' access.
void makePrivate(const QString &filePath)
{
    const QFileInfo file(filePath);
    const QString folder = file.absolutePath();
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        QDir().mkdir(folder, ownerOnly | QFile::ExeOwner);
    }
    if (!file.exists()) {
        QFile created(filePath);
        created.open(QIODevice::WriteOnly | QIODevice::NewOnly, ownerOnly);
    } else if ((file.permissions() & groupOrOther) && !QFile::setPermissions(filePath, ownerOnly)) {
        qCWarning(lcStorage) << "could not make" << filePath << "private to the user";
    }
}

// Missing, or a regular file of a size the settings can have.
bool isLoadable(const QString &filePath)
{
    const QFileInfo file(filePath);
    return !file.exists() || (file.isFile() && file.size() <= SettingsFile::maximumSize);
}

} // namespace

SettingsFile::SettingsFile(const QString &filePath)
    : m_filePath(filePath)
    , m_unusable(!isLoadable(filePath))
    // A path below a file that is no folder can be neither read nor created:
    // the store then lives in memory only, and the odd file stays as it is.
    , m_settings(
          std::make_unique<QSettings>(m_unusable ? filePath + QStringLiteral("/-") : filePath, QSettings::IniFormat))
{
    if (m_unusable) {
        qCWarning(lcStorage) << "settings file" << filePath
                             << "is not a regular file of a sane size; it is left alone and defaults are used";
        m_reportedFailure = true;
        return;
    }
    // Never fall back to rewriting the file in place: a crash mid-write would
    // leave a truncated store behind.
    m_settings->setAtomicSyncRequired(true);
    if (m_settings->status() != QSettings::NoError) {
        qCWarning(lcStorage) << "settings file" << filePath << "could not be read; its values are left out";
        m_reportedFailure = true;
    }
}

SettingsFile::~SettingsFile() = default;

QString SettingsFile::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/tolvanis/tolvanis.conf");
}

QString SettingsFile::filePath() const
{
    return m_filePath;
}

std::optional<QString> SettingsFile::string(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> SettingsFile::data(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void SettingsFile::setString(const QString &key, const QString &value)
{
    m_settings->setValue(key, value);
    sync();
}

void SettingsFile::setData(const QString &key, const QByteArray &value)
{
    m_settings->setValue(key, value);
    sync();
}

void SettingsFile::sync()
{
    if (m_unusable)
        return;
    makePrivate(m_settings->fileName());
    m_settings->sync();
    // QSettings keeps reporting the first failure, so it is logged once.
    if (m_settings->status() != QSettings::NoError && !m_reportedFailure) {
        qCWarning(lcStorage) << "settings file" << m_settings->fileName()
                             << "could not be written; changes last only while the program runs";
        m_reportedFailure = true;
    }
}

bool SettingsFile::contains(const QString &key) const
{
    return m_settings->contains(key);
}
