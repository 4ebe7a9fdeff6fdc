#include "storage/autostartentry.h"

#include "storage/storagelog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

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

// The keys of the [Desktop Entry] group, values trimmed; empty when the file cannot be read.
QHash<QString, QString> mainGroup(const QString &path)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1StringView("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inMainGroup && equals > 0)
            values.insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    return values;
}

// The program an Exec= value runs: its first argument, undoing first the
// string-value escapes and then the argument quoting that quotedExecArgument adds.
QString execProgram(const QString &exec)
{
    QString text;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        QChar c = exec[i];
        if (c == u'\\' && i + 1 < exec.size()) {
            c = exec[++i];
            c = c == u's'   ? QChar(u' ')
                : c == u'n' ? QChar(u'\n')
                : c == u't' ? QChar(u'\t')
                : c == u'r' ? QChar(u'\r')
                            : c;
        }
        text += c;
    }
    QString program;
    if (!text.startsWith(u'"')) {
        program = text.section(u' ', 0, 0);
    } else {
        for (qsizetype i = 1; i < text.size() && text[i] != u'"'; ++i) {
            if (text[i] == u'\\' && i + 1 < text.size())
                ++i;
            program += text[i];
        }
    }
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// A folder on the way to the program that anyone may write to (a copy run from
// /tmp): another user could put their own program there for the next login.
std::optional<QString> worldWritableFolder(const QString &path)
{
    for (const QString &file : {QFileInfo(path).absoluteFilePath(), QFileInfo(path).canonicalFilePath()}) {
        for (QString folder = QFileInfo(file).absolutePath(); !file.isEmpty();
             folder = QFileInfo(folder).absolutePath()) {
            const QFileInfo info(folder);
            if (info.exists() && (info.permissions() & QFile::WriteOther))
                return folder;
            if (info.isRoot())
                break;
        }
    }
    return std::nullopt;
}

} // namespace

AutostartEntry::AutostartEntry(QString desktopFilePath, QString executablePath)
    : m_desktopFilePath(std::move(desktopFilePath))
    , m_executablePath(std::move(executablePath))
{ }

QString AutostartEntry::standardFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/autostart/com.quendrix.tolvanis.desktop");
}

QString AutostartEntry::oldNamePath() const
{
    return QFileInfo(m_desktopFilePath).absolutePath() + QStringLiteral("/tolvanis.desktop");
}

QString AutostartEntry::entryPath() const
{
    if (!QFileInfo::exists(m_desktopFilePath) && QFileInfo::exists(oldNamePath()))
        return oldNamePath();
    return m_desktopFilePath;
}

Result<void> AutostartEntry::moveFromOldName()
{
    // rename() replaces nothing here: the new name does not exist yet.
    if (entryPath() != m_desktopFilePath && !QFile::rename(oldNamePath(), m_desktopFilePath))
        return logged(QStringLiteral("无法把 %1 改名").arg(oldNamePath()));
    return {};
}

bool AutostartEntry::isEnabled() const
{
    const QString path = entryPath();
    if (!QFileInfo(path).isReadable())
        return false;
    const QHash<QString, QString> entry = mainGroup(path);
    return entry.value(QStringLiteral("Hidden")) != QLatin1StringView("true") &&
        entry.value(QStringLiteral("X-GNOME-Autostart-enabled")) != QLatin1StringView("false");
}

QString AutostartEntry::programPath() const
{
    const QString program = execProgram(mainGroup(entryPath()).value(QStringLiteral("Exec")));
    return program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
}

bool AutostartEntry::startsAnExistingProgram() const
{
    const QFileInfo program(programPath());
    return program.isFile() && program.isExecutable();
}

bool AutostartEntry::startsThisProgram() const
{
    const QString path = programPath();
    if (path.isEmpty())
        return false;
    const QFileInfo started(path);
    const QFileInfo ours(executable());
    if (started.absoluteFilePath() == ours.absoluteFilePath())
        return true;
    return !started.canonicalFilePath().isEmpty() && started.canonicalFilePath() == ours.canonicalFilePath();
}

QString AutostartEntry::executable() const
{
    return m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
}

QString AutostartEntry::desktopEntry() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=tolvanis\n"
                          "Comment=中英互译\n"
                          "Exec=%1\n"
                          "Icon=com.quendrix.tolvanis\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quotedExecArgument(QFileInfo(executable()).absoluteFilePath()));
}

Result<void> AutostartEntry::enable()
{
    if (const std::optional<QString> folder = worldWritableFolder(executable()))
        return logged(QStringLiteral("程序所在的目录 %1 任何用户都可写入，不能登录时启动").arg(*folder));
    const QString directory = QFileInfo(m_desktopFilePath).absolutePath();
    if (!QDir().mkpath(directory))
        return logged(QStringLiteral("无法创建目录 %1").arg(directory));

    QSaveFile file(m_desktopFilePath);
    if (!file.open(QIODevice::WriteOnly))
        return logged(file.errorString());
    file.write(desktopEntry().toUtf8());
    if (!file.commit())
        return logged(file.errorString());
    return {};
}

Result<void> AutostartEntry::disable()
{
    for (const QString &path : {m_desktopFilePath, oldNamePath()}) {
        QFile file(path);
        if (file.exists() && !file.remove())
            return logged(file.errorString());
    }
    return {};
}

Failure AutostartEntry::logged(const QString &reason) const
{
    qCWarning(lcStorage).noquote() << "autostart entry" << m_desktopFilePath << "not updated:" << reason;
    return Failure{reason};
}
