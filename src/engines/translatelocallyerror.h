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

private:
    Kind m_kind;
};
