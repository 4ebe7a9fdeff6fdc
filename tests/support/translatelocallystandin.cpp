#include "translatelocallystandin.h"

#include <QFile>

namespace {
const char *const switches[] = {"STANDIN_MODELS",   "STANDIN_EXIT_AT_START", "STANDIN_SILENT",
                                "STANDIN_DELAY_MS", "STANDIN_REORDER",       "STANDIN_BYTEWISE",
                                "STANDIN_ABORT_ON_TRANSLATE"};

QString recordPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("starts.txt"));
}
} // namespace

TranslateLocallyStandIn::TranslateLocallyStandIn()
    : m_previousPath(qgetenv("PATH"))
{
    for (const char *name : switches)
        qunsetenv(name);
    qputenv("PATH", directory().toLocal8Bit());
    qputenv("STANDIN_RECORD", recordPath(m_dir).toLocal8Bit());
}

TranslateLocallyStandIn::~TranslateLocallyStandIn()
{
    for (const char *name : switches)
        qunsetenv(name);
    qunsetenv("STANDIN_RECORD");
    qputenv("PATH", m_previousPath);
}

QString TranslateLocallyStandIn::directory()
{
    return QStringLiteral(TOLVANIS_STANDIN_DIR);
}

void TranslateLocallyStandIn::set(const char *name, const QByteArray &value)
{
    qputenv(name, value);
}

void TranslateLocallyStandIn::clear(const char *name)
{
    qunsetenv(name);
}

QList<QStringList> TranslateLocallyStandIn::starts() const
{
    QFile file(recordPath(m_dir));
    QList<QStringList> starts;
    if (!file.open(QIODevice::ReadOnly))
        return starts;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            starts.append(QString::fromUtf8(line).split(u'|').mid(1));
    }
    return starts;
}
