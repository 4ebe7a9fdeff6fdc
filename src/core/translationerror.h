#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The one error type that engines throw. Every case has a fixed Chinese
// description; `network` carries a message appended after the full-width colon.
class TranslationError final : public std::exception
{
public:
    enum class Kind {
        Network,
        EmptyInput,
        ApiKeyMissing,
        Timeout,
        InvalidResponse,
        UnsupportedLanguagePack,
        // The part of the program that holds an engine could not be loaded.
        EngineUnavailable
    };

    static TranslationError network(const QString &message) { return TranslationError(Kind::Network, message); }
    static TranslationError emptyInput() { return TranslationError(Kind::EmptyInput); }
    static TranslationError apiKeyMissing() { return TranslationError(Kind::ApiKeyMissing); }
    static TranslationError timeout() { return TranslationError(Kind::Timeout); }
    static TranslationError invalidResponse() { return TranslationError(Kind::InvalidResponse); }
    static TranslationError unsupportedLanguagePack() { return TranslationError(Kind::UnsupportedLanguagePack); }
    static TranslationError engineUnavailable() { return TranslationError(Kind::EngineUnavailable); }

    Kind kind() const { return m_kind; }
    // The payload of `network`; empty for every other case.
    const QString &message() const { return m_message; }
    QString errorDescription() const;
    const char *what() const noexcept override { return m_what.constData(); }

    bool operator==(const TranslationError &other) const
    {
        return m_kind == other.m_kind && m_message == other.m_message;
    }

private:
    explicit TranslationError(Kind kind, const QString &message = {});

    Kind m_kind;
    QString m_message;
    QByteArray m_what;
};
