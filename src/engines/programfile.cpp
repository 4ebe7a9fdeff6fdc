#include "engines/programfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString programFile(const char *name, const QString &fromBindir)
{
    const QDir programDirectory(QCoreApplication::applicationDirPath());
    const QString beside = programDirectory.filePath(QLatin1String(name));
    if (QFileInfo::exists(beside))
        return beside;
    return QDir::cleanPath(programDirectory.filePath(fromBindir));
}
