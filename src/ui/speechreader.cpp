#include "ui/speechreader.h"

#include "core/languagedetector.h"
#include "ui/uilog.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTextToSpeech>
#include <QThread>

namespace {

const QString speechDispatcherEngine = QStringLiteral("speechd");

// espeak-ng lists every voice once more per timbre ("English (America)+Max");
// the plain voice is the one a listener expects.
QVoice plainVoice(const QList<QVoice> &voices)
{
    for (const QVoice &voice : voices) {
        if (!voice.name().contains(u'+'))
            return voice;
    }
    return voices.first();
}

} // namespace

SpeechReader::SpeechReader(QObject *parent)
    : QObject(parent)
{ }

SpeechReader::~SpeechReader() = default;

void SpeechReader::read(const QString &text)
{
    if (!m_failure.isEmpty())
        return;
    m_text = text;
    if (m_engine)
        speak();
    else if (!m_starting)
        startEngine();
    Q_EMIT changed();
}

void SpeechReader::stop()
{
    if (m_text.isEmpty())
        return;
    m_text.clear();
    if (m_engine)
        m_engine->stop();
    Q_EMIT changed();
}

QString SpeechReader::unavailableReason(const QString &text) const
{
    if (!m_failure.isEmpty())
        return m_failure;
    if (!m_engine)
        return {};
    const bool chinese = LanguageDetector::isPrimarilyChinese(text);
    if (m_voices.at(chinese))
        return {};
    return chinese ? QStringLiteral("没有可用的中文语音，无法朗读") : QStringLiteral("没有可用的英文语音，无法朗读");
}

void SpeechReader::startEngine()
{
    m_starting = true;
    // Connecting to speech-dispatcher (and spawning it) blocks until the
    // service answers, and a hung service never does. The engine is made on a
    // thread of its own and handed over; the reader may be gone by then.
    QPointer<SpeechReader> self(this);
    QThread *home = thread();
    QThread *starter = QThread::create([self, home] {
        QTextToSpeech *engine = nullptr;
        if (QTextToSpeech::availableEngines().contains(speechDispatcherEngine)) {
            engine = new QTextToSpeech(speechDispatcherEngine);
            engine->moveToThread(home);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, engine] {
                if (self)
                    self->engineStarted(engine);
                else
                    delete engine;
            },
            Qt::QueuedConnection);
    });
    connect(starter, &QThread::finished, starter, &QObject::deleteLater);
    starter->start();
}

void SpeechReader::engineStarted(QTextToSpeech *engine)
{
    m_starting = false;
    if (!engine) {
        qCWarning(lcUi) << "No speech-dispatcher plugin for Qt's text-to-speech";
        m_failure = QStringLiteral("朗读不可用：缺少 Qt 的 speech-dispatcher 语音插件");
    } else if (engine->state() == QTextToSpeech::Error &&
               engine->errorReason() == QTextToSpeech::ErrorReason::Initialization) {
        qCWarning(lcUi) << "Speech service unavailable:" << engine->errorString();
        m_failure = QStringLiteral("朗读不可用：无法连接语音服务 speech-dispatcher");
        delete engine;
    } else {
        // An error of another kind (no voice for the desktop's own language)
        // does not stop reading with a voice chosen here.
        m_engine = engine;
        m_engine->setParent(this);
        m_voices = {findVoice(false), findVoice(true)};
        connect(m_engine, &QTextToSpeech::stateChanged, this, [this](QTextToSpeech::State state) {
            if (m_text.isEmpty())
                return;
            if (state == QTextToSpeech::Speaking)
                m_begun = true;
            else if (state == QTextToSpeech::Ready && m_begun)
                finish();
        });
    }
    if (!m_failure.isEmpty())
        m_text.clear();
    else if (!m_text.isEmpty())
        speak();
    Q_EMIT changed();
}

void SpeechReader::speak()
{
    const std::optional<Voice> &voice = m_voices.at(LanguageDetector::isPrimarilyChinese(m_text));
    if (!voice) {
        // Never read a text with a voice of the other language.
        m_text.clear();
        return;
    }
    m_begun = false;
    m_engine->setLocale(voice->locale);
    m_engine->setVoice(voice->voice);
    m_engine->say(m_text);
}

void SpeechReader::finish()
{
    m_text.clear();
    Q_EMIT changed();
}

std::optional<SpeechReader::Voice> SpeechReader::findVoice(bool chinese)
{
    const QLocale::Language language = chinese ? QLocale::Chinese : QLocale::English;
    const QList<QLocale> locales = m_engine->availableLocales();
    for (const QLocale &locale : locales) {
        if (locale.language() != language)
            continue;
        m_engine->setLocale(locale);
        const QList<QVoice> voices = m_engine->availableVoices();
        if (m_engine->locale() == locale && !voices.isEmpty())
            return Voice{locale, plainVoice(voices)};
    }
    if (!chinese)
        return std::nullopt;
    // espeak-ng names Mandarin "cmn", a code that QLocale (Qt 6.4) does not
    // know, so its voices are listed under the C locale; their names tell.
    m_engine->setLocale(QLocale::c());
    QList<QVoice> mandarin;
    if (m_engine->locale() == QLocale::c()) {
        const QList<QVoice> voices = m_engine->availableVoices();
        for (const QVoice &voice : voices) {
            if (voice.name().contains(QStringLiteral("Mandarin")))
                mandarin.append(voice);
        }
    }
    if (mandarin.isEmpty())
        return std::nullopt;
    return Voice{QLocale::c(), plainVoice(mandarin)};
}
