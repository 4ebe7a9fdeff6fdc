// Stands in for translateLocally in tests, answering as the real program does
// where tolvanis depends on it. Like the real one it reads its models once, at
// start, from every folder holding a model_info.json in
// $XDG_DATA_HOME/translateLocally (~/.local/share/translateLocally) and in its
// working directory; a model translates from a tiny dictionary chosen by its
// shortName. English input is split into sentences, which come back joined with
// the source's spacing; Chinese is not split. `-l` lists the models, `-p` speaks
// native messaging; without either it dies as the real one does without a
// display. Switches (environment):
//   STANDIN_RECORD=file         append "start|<cwd>|<entries in cwd>|<args>" at start
//   STANDIN_EXIT_AT_START=code  exit with that status before reading anything
//   STANDIN_SILENT=1            read everything, answer nothing
//   STANDIN_DELAY_MS=n          sleep before every reply
//   STANDIN_REORDER=n           hold replies until n are due, then write them last first
//   STANDIN_BYTEWISE=1          write replies one byte at a time
//   STANDIN_ABORT_ON_TRANSLATE=1  abort() on the first Translate
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Model {
    QString id;
    QJsonObject info; // model_info.json
    QString repositoryUrl; // modelMeta.json, written when downloaded from a repository
    QMap<QString, QString> dictionary;
};

QMap<QString, QString> dictionary(const QString &shortName)
{
    if (shortName == u"zh-en-base") {
        return {
            {QStringLiteral("你好。"), QStringLiteral("Hello.")},
            {QStringLiteral("你好"), QStringLiteral("Hello")},
            {QStringLiteral("谢谢！"), QStringLiteral("Thank you!")},
            {QStringLiteral("今天天气很好。"), QStringLiteral("The weather is nice today.")},
            {QStringLiteral("留白"), QStringLiteral("  blank margins \n")},
        };
    }
    if (shortName == u"en-zh-base") {
        return {
            {QStringLiteral("Hello."), QStringLiteral("你好。")},
            {QStringLiteral("Hello"), QStringLiteral("你好")},
            {QStringLiteral("Good morning."), QStringLiteral("早上好。")},
        };
    }
    return {};
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

void scanForModels(const QString &folder, QList<Model> &models)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        Model model;
        model.info = readJson(dir.filePath(name + QStringLiteral("/model_info.json")));
        const QString shortName = model.info.value("shortName").toString();
        if (shortName.isEmpty())
            continue;
        model.repositoryUrl = readJson(dir.filePath(name + QStringLiteral("/modelMeta.json"))).value("repositoryUrl").toString();
        // The real program's id, e.g. "zh-en-base0" for a model imported from an archive.
        model.id = shortName + QString::number(qHash(model.repositoryUrl));
        model.dictionary = dictionary(shortName);
        models.append(model);
    }
}

QList<Model> installedModels()
{
    QList<Model> models;
    scanForModels(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                      + QStringLiteral("/translateLocally"),
                  models);
    scanForModels(QDir::currentPath(), models);
    return models;
}

QString translate(const Model &model, const QString &text)
{
    static const QRegularExpression sentenceEnd(QStringLiteral("(?<=[.!?])\\s+"));
    QString result;
    qsizetype start = 0;
    auto append = [&](qsizetype end) {
        const QString sentence = text.mid(start, end - start);
        result += model.dictionary.value(sentence, QStringLiteral("[%1] %2").arg(model.id, sentence));
    };
    for (const QRegularExpressionMatch &match : sentenceEnd.globalMatch(text)) {
        append(match.capturedStart());
        result += match.captured();
        start = match.capturedEnd();
    }
    append(text.size());
    return result;
}

int envInt(const char *name) { return qEnvironmentVariableIntValue(name); }

bool readExactly(char *buffer, size_t size)
{
    return std::fread(buffer, 1, size, stdin) == size;
}

void writeFrame(const QByteArray &payload)
{
    const auto length = static_cast<std::uint32_t>(payload.size());
    QByteArray frame(reinterpret_cast<const char *>(&length), sizeof length);
    frame += payload;
    if (envInt("STANDIN_BYTEWISE")) {
        for (char byte : frame) {
            std::fputc(byte, stdout);
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    } else {
        std::fwrite(frame.constData(), 1, frame.size(), stdout);
        std::fflush(stdout);
    }
}

QByteArray success(const QJsonValue &id, const QJsonValue &data)
{
    return QJsonDocument(QJsonObject{{"id", id}, {"success", true}, {"data", data}}).toJson(QJsonDocument::Indented);
}

QByteArray failure(const QJsonValue &id, const QString &error)
{
    return QJsonDocument(QJsonObject{{"id", id}, {"success", false}, {"error", error}}).toJson(QJsonDocument::Indented);
}

QByteArray answer(const QJsonObject &request, const QList<Model> &models)
{
    const QJsonValue id = request.value("id");
    const QString command = request.value("command").toString();
    const QJsonObject data = request.value("data").toObject();
    if (command == u"ListModels") {
        QJsonArray list;
        for (const Model &model : models) {
            const QJsonObject &info = model.info;
            list.append(QJsonObject{{"id", model.id},
                                    {"shortname", info.value("shortName")},
                                    {"modelName", info.value("modelName")},
                                    {"local", true},
                                    {"src", info.value("src")},
                                    {"trg", info.value("trg")},
                                    {"srcTags", info.value("srcTags").toObject()},
                                    {"trgTag", info.value("trgTag")},
                                    {"type", info.value("type")},
                                    {"repositoryUrl", model.repositoryUrl}});
        }
        return success(id, list);
    }
    if (command == u"Translate") {
        if (envInt("STANDIN_ABORT_ON_TRANSLATE"))
            std::abort();
        const QString modelId = data.value("model").toString();
        for (const Model &model : models) {
            if (model.id == modelId) {
                const QString target = translate(model, data.value("text").toString());
                return success(id, QJsonObject{{"target", QJsonObject{{"text", target}}}});
            }
        }
        return failure(id, QStringLiteral("Failed to load the necessary translation models."));
    }
    return failure(id, QStringLiteral("Unrecognised message command"));
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const QByteArray record = qgetenv("STANDIN_RECORD");
    if (!record.isEmpty()) {
        QFile file(QString::fromLocal8Bit(record));
        if (file.open(QIODevice::Append)) {
            const QDir cwd = QDir::current();
            const auto entries = cwd.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size();
            file.write(QStringLiteral("start|%1|%2|%3\n").arg(cwd.path()).arg(entries).arg(arguments.join(u' ')).toUtf8());
        }
    }
    if (arguments.contains(QStringLiteral("-l"))) {
        for (const Model &model : installedModels()) {
            const QJsonObject &info = model.info;
            std::printf("%s-%s type: %s version: %d; To invoke do -m %s\n", qPrintable(info.value("src").toString()),
                        qPrintable(info.value("trg").toString()), qPrintable(info.value("type").toString()),
                        info.value("version").toInt(-1), qPrintable(info.value("shortName").toString()));
        }
        return 0;
    }
    // Like the real program without -p: it tries to open its window and dies.
    if (!arguments.contains(QStringLiteral("-p"))) {
        std::fputs("qt.qpa.xcb: could not connect to display\n", stderr);
        std::abort();
    }
    if (!qEnvironmentVariableIsEmpty("STANDIN_EXIT_AT_START"))
        return envInt("STANDIN_EXIT_AT_START");

    const QList<Model> models = installedModels();
    const bool silent = envInt("STANDIN_SILENT") != 0;
    const int delayMs = envInt("STANDIN_DELAY_MS");
    const int reorder = envInt("STANDIN_REORDER");
    QList<QByteArray> held;
    auto flushHeld = [&] {
        while (!held.isEmpty())
            writeFrame(held.takeLast());
    };

    for (;;) {
        std::uint32_t length = 0;
        if (!readExactly(reinterpret_cast<char *>(&length), sizeof length))
            break;
        if (length < 2 || length >= 10 * 1024 * 1024) {
            std::fputs("invalid message length\n", stderr);
            return 1;
        }
        QByteArray payload(length, Qt::Uninitialized);
        if (!readExactly(payload.data(), length))
            break;
        if (silent)
            continue;
        const QByteArray reply = answer(QJsonDocument::fromJson(payload).object(), models);
        if (delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        held.append(reply);
        if (held.size() >= std::max(reorder, 1))
            flushHeld();
    }
    // End of input: finish what is pending and exit cleanly.
    flushHeld();
    return 0;
}
