#pragma once

#include <QLocale>
#include <QObject>
#include <QVoice>

#include <array>
#include <optional>

class QTextToSpeech;

// Reads a text aloud through speech-dispatcher, with a voice of the text's
// language (Chinese or English, as the automatic direction decides). The
// speech engine starts on the first request, on a thread of its own, so that
// neither start-up nor a speech service that does not answer holds up the panel.
class SpeechReader final : public QObject
{
    Q_OBJECT

public:
    explicit SpeechReader(QObject *parent = nullptr);
    ~SpeechReader() override;
    Q_DISABLE_COPY_MOVE(SpeechReader)

    // Stops what is being read and reads `text`; while the engine is starting,
    // the text waits for it.
    void read(const QString &text);
    void stop();
    // The text being read or waiting for the engine; empty when silent.
    QString speakingText() const { return m_text; }
    // Why `text` cannot be read; empty when it can, or when that is not known
    // because the engine has not been started.
    QString unavailableReason(const QString &text) const;

Q_SIGNALS:
    // Reading began or ended, or the engine came up or failed to.
    void changed();

private:
    struct Voice {
        QLocale locale;
        QVoice voice;
    };

    void startEngine();
    void engineStarted(QTextToSpeech *engine);
    void speak();
    void finish();
    std::optional<Voice> findVoice(bool chinese);

    QTextToSpeech *m_engine = nullptr;
    bool m_starting = false;
    // The engine has reported the current text begun: the next Ready means it
    // has been read (or cancelled), not that an earlier text was cancelled.
    bool m_begun = false;
    QString m_failure;
    QString m_text;
    std::array<std::optional<Voice>, 2> m_voices; // English, Chinese
};
