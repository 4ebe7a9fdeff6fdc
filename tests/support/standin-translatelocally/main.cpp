// Stands in for `translateLocally -p` in tests: reads native-messaging frames
// on stdin and answers ListModels and Translate from a tiny dictionary per
// model. Switches (environment):
//   STANDIN_MODELS=a,b          installed model ids (default zh-en-base0,en-zh-base0; "none" for none)
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
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QMap>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

struct Model {
    const char *id;
    const char *sourceTag;
    const char *targetTag;
    const char *type;
    QMap<QString, QString> dictionary;
};

QList<Model> catalogue()
{
    const QMap<QString, QString> zhEn{
        {QStringLiteral("你好。"), QStringLiteral("Hello.")},
        {QStringLiteral("你好"), QStringLiteral("Hello")},
        {QStringLiteral("谢谢！"), QStringLiteral("Thank you!")},
        {QStringLiteral("今天天气很好。"), QStringLiteral("The weather is nice today.")},
        {QStringLiteral("留白"), QStringLiteral("  blank margins \n")},
    };
    const QMap<QString, QString> enZh{
        {QStringLiteral("Hello."), QStringLiteral("你好。")},
        {QStringLiteral("Hello"), QStringLiteral("你好")},
        {QStringLiteral("Good morning."), QStringLiteral("早上好。")},
    };
    return {
        {"zh-en-base0", "zh", "en", "base", zhEn},
        {"en-zh-base0", "en", "zh", "base", enZh},
    };
}

QList<Model> installedModels()
{
    QByteArray wanted = qgetenv("STANDIN_MODELS");
    if (wanted.isNull())
        wanted = "zh-en-base0,en-zh-base0";
    QList<Model> models;
    const QList<QByteArray> ids = wanted.split(',');
    for (const Model &model : catalogue()) {
        if (ids.contains(QByteArray(model.id)))
            models.append(model);
    }
    return models;
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
            list.append(QJsonObject{{"id", model.id},
                                    {"shortName", model.id},
                                    {"srcTags", QJsonObject{{model.sourceTag, "Language"}}},
                                    {"trgTag", model.targetTag},
                                    {"type", model.type},
                                    {"local", true}});
        }
        return success(id, list);
    }
    if (command == u"Translate") {
        if (envInt("STANDIN_ABORT_ON_TRANSLATE"))
            std::abort();
        const QString modelId = data.value("model").toString();
        for (const Model &model : models) {
            if (modelId != QLatin1String(model.id))
                continue;
            const QString text = data.value("text").toString();
            const QString target = model.dictionary.value(text, QStringLiteral("[%1] %2").arg(modelId, text));
            return success(id, QJsonObject{{"target", QJsonObject{{"text", target}}}});
        }
        return failure(id, QStringLiteral("Could not find the necessary translation models."));
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
