// Stands in for translateLocally in tests, answering its native-messaging
// worker protocol (-p) as the real program does where tolvanis depends on it.
// Like the real one it knows only the models installed when it started, here
// the short names in STANDIN_MODELS ("zh-en-base,en-zh-base"); each translates
// whole requests from a tiny dictionary, where English sentences come back
// joined with the source's spacing as the real one joins them. Without -p it
// dies, as the real one does without a display. Switches (environment):
//   STANDIN_RECORD=file           append "<cwd>|<entries in cwd>" at start
//   STANDIN_SILENT=1              read everything, answer nothing
//   STANDIN_DELAY_MS=n            sleep before every reply
//   STANDIN_REORDER=n             hold replies until n are due, then write them last first
//   STANDIN_BYTEWISE=1            write replies one byte at a time
//   STANDIN_ABORT_ON_TRANSLATE=1  abort() on the first Translate
//   STANDIN_REFUSE=1              refuse every Translate, quoting its text
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

const QHash<QString, QHash<QString, QString>> dictionaries{
    {"zh-en-base",
     {{"你好。", "Hello."},
      {"你好", "Hello"},
      {"谢谢！", "Thank you!"},
      {"今天天气很好。", "The weather is nice today."},
      {"留白", "  blank margins \n"}}},
    {"en-zh-base", {{"Hello.", "你好。"}, {"Hello", "你好"}, {"Hello. Good morning.", "你好。 早上好。"}}},
};

int envInt(const char *name)
{
    return qEnvironmentVariableIntValue(name);
}

QJsonObject answer(const QJsonObject &request, const QStringList &models)
{
    QJsonObject reply{{"id", request.value("id")}, {"success", true}};
    const QString command = request.value("command").toString();
    if (command == u"ListModels") {
        QJsonArray list;
        for (const QString &shortName : models) {
            const QStringList parts = shortName.split(u'-');
            list.append(QJsonObject{{"id", shortName + u'0'},
                                    {"shortname", shortName},
                                    {"local", true},
                                    {"srcTags", QJsonObject{{parts.at(0), "?"}}},
                                    {"trgTag", parts.at(1)},
                                    {"type", parts.at(2)}});
        }
        reply.insert("data", list);
    } else if (command == u"Translate") {
        if (envInt("STANDIN_ABORT_ON_TRANSLATE"))
            std::abort();
        const QJsonObject data = request.value("data").toObject();
        const QString shortName = data.value("model").toString().chopped(1);
        if (envInt("STANDIN_REFUSE"))
            return {{"id", request.value("id")},
                    {"success", false},
                    {"error", "cannot translate " + data.value("text").toString()}};
        if (!models.contains(shortName))
            return {{"id", request.value("id")},
                    {"success", false},
                    {"error", "Failed to load the necessary translation models."}};
        const QString text = data.value("text").toString();
        const QString target = dictionaries.value(shortName).value(text, QStringLiteral("[?] ") + text);
        reply.insert("data", QJsonObject{{"target", QJsonObject{{"text", target}}}});
    }
    return reply;
}

void writeFrame(const QJsonObject &reply)
{
    const QByteArray payload = QJsonDocument(reply).toJson(QJsonDocument::Indented);
    const auto length = static_cast<std::uint32_t>(payload.size());
    const QByteArray frame = QByteArray(reinterpret_cast<const char *>(&length), sizeof length) + payload;
    const qsizetype step = envInt("STANDIN_BYTEWISE") ? 1 : frame.size();
    for (qsizetype offset = 0; offset < frame.size(); offset += step) {
        std::fwrite(frame.constData() + offset, 1, step, stdout);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (const QByteArray record = qgetenv("STANDIN_RECORD"); !record.isEmpty()) {
        QFile file(QString::fromLocal8Bit(record));
        const QDir cwd = QDir::current();
        const auto entries = cwd.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size();
        if (file.open(QIODevice::Append))
            file.write(QStringLiteral("%1|%2\n").arg(cwd.path()).arg(entries).toUtf8());
    }
    if (argc != 2 || qstrcmp(argv[1], "-p") != 0)
        std::abort();

    const QStringList models = qEnvironmentVariable("STANDIN_MODELS").split(u',', Qt::SkipEmptyParts);
    QList<QJsonObject> held;
    for (std::uint32_t length = 0; std::fread(&length, sizeof length, 1, stdin) == 1;) {
        if (length < 2 || length >= 10 * 1024 * 1024)
            return 1;
        QByteArray payload(length, Qt::Uninitialized);
        if (std::fread(payload.data(), 1, length, stdin) != length)
            break;
        if (envInt("STANDIN_SILENT"))
            continue;
        std::this_thread::sleep_for(std::chrono::milliseconds(envInt("STANDIN_DELAY_MS")));
        held.append(answer(QJsonDocument::fromJson(payload).object(), models));
        if (held.size() >= std::max(envInt("STANDIN_REORDER"), 1)) {
            while (!held.isEmpty())
                writeFrame(held.takeLast());
        }
    }
    // End of input: finish what is pending and exit cleanly.
    while (!held.isEmpty())
        writeFrame(held.takeLast());
    return 0;
}
