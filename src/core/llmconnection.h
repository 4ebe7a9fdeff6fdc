#pragma once

#include "core/llmprovider.h"

#include <QString>

#include <functional>

// Where the language-model engines send a request: the provider, and for an
// OpenAI-compatible service its base URL and model. Read in one visit at every
// request, so a change in the settings takes effect at once and a change
// mid-request cannot mix two configurations.
struct LLMConnection {
    LLMProvider provider = LLMProvider::Anthropic;
    QString openAIBaseURL;
    QString openAIModel;
};

using LLMConnectionSource = std::function<LLMConnection()>;
