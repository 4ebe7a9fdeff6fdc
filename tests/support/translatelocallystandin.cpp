#include "translatelocallystandin.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {
const char *const switches[] = {"STANDIN_EXIT_AT_START", "STANDIN_SILENT",   "STANDIN_DELAY_MS",
                                "STANDIN_REORDER",       "STANDIN_BYTEWISE", "STANDIN_ABORT_ON_TRANSLATE"};

QString modelFolder(const QTemporaryDir &dir, const QString &shortName)
{
    return dir.filePath(QStringLiteral("data/translateLocally/") + shortName);
}

QString languageName(const QString &tag)
{
    return tag == u"zh" ? QStringLiteral("Chinese") : QStringLiteral("English");
}

void restore(const char *name, const QByteArray &previous)
{
    if (previous.isNull())
        qunsetenv(name);
    else
        qputenv(name, previous);
}

QString recordPath(const QTemporaryDir &dir)
{
    return dir.filePath(QStringLiteral("starts.txt"));
}
} // namespace

TranslateLocallyStandIn::TranslateLocallyStandIn()
    : m_previousPath(qgetenv("PATH"))
    , m_previousDataHome(qgetenv("XDG_DATA_HOME"))
{
    for (const char *name : switches)
        qunsetenv(name);
    qputenv("PATH", directory().toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toLocal8Bit());
    qputenv("STANDIN_RECORD", recordPath(m_dir).toLocal8Bit());
    installModel(QStringLiteral("zh-en-base"));
    installModel(QStringLiteral("en-zh-base"));
}

TranslateLocallyStandIn::~TranslateLocallyStandIn()
{
    for (const char *name : switches)
        qunsetenv(name);
    qunsetenv("STANDIN_RECORD");
    qputenv("PATH", m_previousPath);
    restore("XDG_DATA_HOME", m_previousDataHome);
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

void TranslateLocallyStandIn::installModel(const QString &shortName)
{
    const QStringList parts = shortName.split(u'-');
    Q_ASSERT(parts.size() == 3);
    const QString folder = modelFolder(m_dir, shortName);
    QDir().mkpath(folder);
    // The files an installed model has; the stand-in reads only model_info.json.
    QFile(folder + QStringLiteral("/config.intgemm8bitalpha.yml")).open(QIODevice::WriteOnly);
    const QJsonObject info{{"shortName", shortName},
                           {"modelName", languageName(parts[0]) + u'-' + languageName(parts[1]) + u' ' + parts[2]},
                           {"src", languageName(parts[0])},
                           {"trg", languageName(parts[1])},
                           {"srcTags", QJsonObject{{parts[0], languageName(parts[0])}}},
                           {"trgTag", parts[1]},
                           {"type", parts[2]},
                           {"version", 1},
                           {"API", 1}};
    QSaveFile file(folder + QStringLiteral("/model_info.json"));
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(info).toJson()) <= 0 || !file.commit())
        qFatal("cannot install the stand-in model %s", qPrintable(folder));
}

void TranslateLocallyStandIn::removeModel(const QString &shortName)
{
    QDir(modelFolder(m_dir, shortName)).removeRecursively();
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
