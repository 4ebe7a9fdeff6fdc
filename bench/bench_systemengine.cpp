// Per-request cost of the on-device path (the engine and the worker protocol)
// against the translateLocally stand-in, next to a raw write/read of the same
// frames over the same kind of pipe to the same program. The difference of the
// medians is what the path adds per request.
#include "engines/nativemessagecodec.h"
#include "engines/systemengine.h"
#include "settledtask.h"
#include "translatelocallystandin.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

// 200 characters, one sentence: one frame each way.
const QString text = QStringLiteral(
    "The quick brown fox jumps over the very lazy dog while the small village by a river slowly wakes up, "
    "and the baker opens his shop to sell warm bread to the early workers who pass by on their bicycles.");

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "bench_systemengine";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

void systemEngineRequest(benchmark::State &state)
{
    application();
    Q_ASSERT(text.size() == 200);
    TranslateLocallyStandIn standIn;
    const auto engine = SystemEngine::create();
    const QString from = QStringLiteral("英文"), to = QStringLiteral("中文");
    // Start the worker and choose the model outside the measurement.
    if (!settled(engine->translate(text, from, to)).value) {
        state.SkipWithError("the stand-in did not answer");
        return;
    }
    for (auto _ : state) {
        auto outcome = settled(engine->translate(text, from, to));
        benchmark::DoNotOptimize(outcome);
    }
    engine->shutdown();
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool readExactly(int fd, char *buffer, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

void rawFrameRoundTrip(benchmark::State &state)
{
    application();
    TranslateLocallyStandIn standIn;
    int toWorker[2], fromWorker[2];
    if (::pipe(toWorker) != 0 || ::pipe(fromWorker) != 0) {
        state.SkipWithError("pipe failed");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toWorker[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromWorker[1], 1);
    posix_spawn_file_actions_addclose(&actions, toWorker[1]);
    posix_spawn_file_actions_addclose(&actions, fromWorker[0]);
    const QByteArray program =
        (TranslateLocallyStandIn::directory() + QStringLiteral("/translateLocally")).toLocal8Bit();
    char arg0[] = "translateLocally", arg1[] = "-p";
    char *argv[] = {arg0, arg1, nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toWorker[0]);
    ::close(fromWorker[1]);
    if (spawned != 0) {
        state.SkipWithError("spawn failed");
        return;
    }

    const QJsonObject request{{QStringLiteral("id"), 1},
                              {QStringLiteral("command"), QStringLiteral("Translate")},
                              {QStringLiteral("data"),
                               QJsonObject{{QStringLiteral("model"), QStringLiteral("en-zh-base0")},
                                           {QStringLiteral("text"), text},
                                           {QStringLiteral("html"), false}}}};
    const QByteArray frame = NativeMessageCodec::encode(QJsonDocument(request).toJson(QJsonDocument::Compact)).value();
    QByteArray reply(NativeMessageCodec::maximumLength, Qt::Uninitialized);
    for (auto _ : state) {
        std::uint32_t length = 0;
        if (!writeAll(toWorker[1], frame) || !readExactly(fromWorker[0], reinterpret_cast<char *>(&length), 4) ||
            !readExactly(fromWorker[0], reply.data(), length)) {
            state.SkipWithError("the stand-in did not answer");
            break;
        }
        benchmark::DoNotOptimize(reply.data());
    }
    ::close(toWorker[1]);
    ::close(fromWorker[0]);
    ::waitpid(pid, nullptr, 0);
}

} // namespace

BENCHMARK(rawFrameRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(systemEngineRequest)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
