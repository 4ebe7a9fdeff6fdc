#include "loginitem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Quotes a path for an Exec= line: the desktop-entry format needs ", `, $ and a backslash
// escaped inside double quotes, and then every backslash doubled once more
// because Exec is a string value; % is the field-code prefix.
QString quotedExecArgument(const QString &path)
{
    QString quoted;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

} // namespace

LoginItem::LoginItem(QString desktopFilePath, QString executablePath)
    : m_desktopFilePath(std::move(desktopFilePath))
    , m_executablePath(std::move(executablePath))
{
}

QString LoginItem::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/tolvanis.desktop");
}

bool LoginItem::isEnabled() const
{
    QFile file(m_desktopFilePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1StringView("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1StringView("Hidden") && value == QLatin1StringView("true"))
            return false;
        if (key == QLatin1StringView("X-GNOME-Autostart-enabled") && value == QLatin1StringView("false"))
            return false;
    }
    return true;
}

QString LoginItem::desktopEntry() const
{
    const QString executable = m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath()
                                                          : m_executablePath;
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=tolvanis\n"
                          "Comment=中英互译\n"
                          "Exec=%1\n"
                          "Icon=tolvanis\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedExecArgument(QFileInfo(executable).absoluteFilePath()));
}

std::optional<QString> LoginItem::registerItem()
{
    const QString directory = QFileInfo(m_desktopFilePath).absolutePath();
    if (!QDir().mkpath(directory))
        return QStringLiteral("无法创建目录 %1").arg(directory);

    QSaveFile file(m_desktopFilePath);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(desktopEntry().toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> LoginItem::unregisterItem()
{
    QFile file(m_desktopFilePath);
    if (!file.exists())
        return std::nullopt;
    if (!file.remove())
        return file.errorString();
    return std::nullopt;
}
