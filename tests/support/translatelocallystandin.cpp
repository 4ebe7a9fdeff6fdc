#include "translatelocallystandin.h"

#include <QFile>
#include <QProcessEnvironment>

TranslateLocallyStandIn::TranslateLocallyStandIn()
    : m_previousPath(qgetenv("PATH"))
{
    clearSwitches();
    qputenv("PATH", directory().toLocal8Bit());
    qputenv("STANDIN_RECORD", m_dir.filePath(QStringLiteral("starts")).toLocal8Bit());
    setModels({QStringLiteral("zh-en-base"), QStringLiteral("en-zh-base")});
}

TranslateLocallyStandIn::~TranslateLocallyStandIn()
{
    clearSwitches();
    qputenv("PATH", m_previousPath);
}

QString TranslateLocallyStandIn::directory()
{
    return QStringLiteral(TOLVANIS_STANDIN_DIR);
}

void TranslateLocallyStandIn::setModels(const QStringList &shortNames)
{
    qputenv("STANDIN_MODELS", shortNames.join(u',').toUtf8());
}

QStringList TranslateLocallyStandIn::starts() const
{
    QFile file(m_dir.filePath(QStringLiteral("starts")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

void TranslateLocallyStandIn::clearSwitches()
{
    for (const QString &name : QProcessEnvironment::systemEnvironment().keys()) {
        if (name.startsWith(u"STANDIN_"))
            qunsetenv(name.toLocal8Bit().constData());
    }
}
