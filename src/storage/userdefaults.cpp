#include "userdefaults.h"

#include <QSettings>
#include <QStandardPaths>

UserDefaults::UserDefaults(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    // Never fall back to rewriting the file in place: a crash mid-write would
    // leave a truncated store behind.
    m_settings->setAtomicSyncRequired(true);
}

UserDefaults::~UserDefaults() = default;

UserDefaults &UserDefaults::standard()
{
    static UserDefaults defaults(standardFilePath());
    return defaults;
}

QString UserDefaults::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tolvanis/tolvanis.conf");
}

QString UserDefaults::filePath() const
{
    return m_settings->fileName();
}

std::optional<QString> UserDefaults::string(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QByteArray> UserDefaults::data(const QString &key) const
{
    const QVariant value = m_settings->value(key);
    if (value.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    return value.toByteArray();
}

void UserDefaults::setString(const QString &key, const QString &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

void UserDefaults::setData(const QString &key, const QByteArray &value)
{
    m_settings->setValue(key, value);
    m_settings->sync();
}

bool UserDefaults::contains(const QString &key) const
{
    return m_settings->contains(key);
}
