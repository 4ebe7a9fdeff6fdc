// Request overhead of one language-model translation on loopback: building
// the request, sending it through LLMHTTP and parsing the reply, with a
// server that answers at once. Next to it, the same POST made by a plain
// `curl` process against the same server, as a yardstick for the machine.
#include "core/languagenames.h"
#include "engines/anthropicengine.h"
#include "loopbackserver.h"
#include "memorykeystore.h"
#include "settledtask.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

using namespace std::chrono_literals;

// About 2 KB of UTF-8: mixed Chinese and English prose.
QString twoKilobyteText()
{
    const QString sentence = QStringLiteral("The quick brown fox 跳过了懒狗。 ");
    QString text;
    while (text.toUtf8().size() < 2048)
        text += sentence;
    return text;
}

QByteArray replyBody(const QString &text)
{
    const QJsonObject block{{QStringLiteral("type"), QStringLiteral("text")}, {QStringLiteral("text"), text}};
    return QJsonDocument(QJsonObject{{QStringLiteral("content"), QJsonArray{block}}}).toJson(QJsonDocument::Compact);
}

// The loopback server answers from its own thread, so a blocking curl
// process on the main thread can be served too.
class ServerThread final
{
public:
    ServerThread()
    {
        m_server = new LoopbackServer;
        m_server->setReply({200, replyBody(twoKilobyteText())});
        m_url = m_server->url(QStringLiteral("/v1/messages"));
        m_server->moveToThread(&m_thread);
        m_thread.start();
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(
            m_server, [server = m_server] { delete server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    Q_DISABLE_COPY_MOVE(ServerThread)

    QUrl url() const { return m_url; }

private:
    QThread m_thread;
    LoopbackServer *m_server = nullptr;
    QUrl m_url;
};

ServerThread &server()
{
    static ServerThread thread;
    return thread;
}

void reportPercentiles(benchmark::State &state, std::vector<double> &microseconds)
{
    if (microseconds.empty())
        return;
    std::sort(microseconds.begin(), microseconds.end());
    const auto at = [&](double fraction) {
        return microseconds[std::min(microseconds.size() - 1, static_cast<size_t>(fraction * microseconds.size()))];
    };
    state.counters["p50_us"] = at(0.50);
    state.counters["p99_us"] = at(0.99);
}

void BM_LLMHTTPTranslate2KB(benchmark::State &state)
{
    QNetworkAccessManager manager;
    MemoryKeyStore keys;
    keys.setStored(ApiKeyAccount::Anthropic, QStringLiteral("bench-key"));
    AnthropicEngine engine(keys, LLMHTTP(&manager, 15s), server().url());
    const QString text = twoKilobyteText();
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const Settled<QString> result = settled(
            engine.translate(text, LanguageName::chinese(), LanguageName::english()));
        samples.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        if (!result.value) {
            state.SkipWithError(qPrintable(result.description()));
            break;
        }
    }
    reportPercentiles(state, samples);
}

void BM_CurlPost2KB(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString bodyFile = dir.filePath(QStringLiteral("body.json"));
    const QString headerFile = dir.filePath(QStringLiteral("headers.txt"));
    QFile body(bodyFile);
    body.open(QIODevice::WriteOnly);
    body.write(LLMHTTP::encodeBody(AnthropicEngine::requestBody(twoKilobyteText())));
    body.close();
    QFile headers(headerFile);
    headers.open(QIODevice::WriteOnly);
    headers.write("Content-Type: application/json\nx-api-key: bench-key\nanthropic-version: 2023-06-01\n");
    headers.close();
    const QStringList arguments{QStringLiteral("-s"),          QStringLiteral("-o"),
                                QStringLiteral("/dev/null"),   QStringLiteral("-H"),
                                QLatin1Char('@') + headerFile, QStringLiteral("--data-binary"),
                                QLatin1Char('@') + bodyFile,   server().url().toString()};
    std::vector<double> samples;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QProcess curl;
        curl.start(QStringLiteral("curl"), arguments);
        const bool finished = curl.waitForFinished(10000);
        samples.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        if (!finished || curl.exitCode() != 0) {
            state.SkipWithError("curl failed");
            break;
        }
    }
    reportPercentiles(state, samples);
}

} // namespace

BENCHMARK(BM_LLMHTTPTranslate2KB)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CurlPost2KB)->Iterations(200)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
