#pragma once

#include "translationconfiguration.h"

#include <memory>

class TranslationSession;

// What carries out on-device translation: it makes a session for a pair of
// languages. Making a session is cheap and starts nothing; the work begins with
// the session's first translation.
class TranslationBackend
{
public:
    virtual ~TranslationBackend() = default;
    virtual std::shared_ptr<TranslationSession> makeSession(const TranslationConfiguration &configuration) = 0;
};
