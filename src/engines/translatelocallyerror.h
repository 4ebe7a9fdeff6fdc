#pragma once

#include <QString>

#include <stdexcept>

// Why a request to a translateLocally worker failed. It never reaches the user
// as such: the system engine turns it into a TranslationError.
class TranslateLocallyError final : public std::runtime_error
{
public:
    enum class Kind {
        NotInstalled, // no translateLocally on PATH
        FailedToStart,
        Exited, // the worker ended (crash, abort, exit) with the request pending
        Timeout, // the worker did not answer in time and was killed
        Protocol, // a frame or reply the client cannot read
        Refused, // the worker answered with success false
        NoModel, // no installed model for the direction
        TooLarge, // the request does not fit in one message
        Stopped, // the client shut down with the request pending
    };

    TranslateLocallyError(Kind kind, const QString &detail = {})
        : std::runtime_error(detail.toStdString())
        , m_kind(kind)
    { }

    Kind kind() const { return m_kind; }
    // For the log: the kind by name. The detail stays out of it, since a
    // refusal may echo the user's text.
    const char *kindName() const
    {
        switch (m_kind) {
        case Kind::NotInstalled:
            return "not installed";
        case Kind::FailedToStart:
            return "failed to start";
        case Kind::Exited:
            return "worker exited";
        case Kind::Timeout:
            return "timeout";
        case Kind::Protocol:
            return "protocol error";
        case Kind::Refused:
            return "refused";
        case Kind::NoModel:
            return "no model";
        case Kind::TooLarge:
            return "too large";
        case Kind::Stopped:
            return "stopped";
        }
        return "unknown";
    }

private:
    Kind m_kind;
};
