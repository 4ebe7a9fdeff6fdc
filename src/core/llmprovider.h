#pragma once

#include "core/enumtable.h"

enum class LLMProvider {
    Anthropic,
    OpenAICompatible
};

template<>
struct EnumTable<LLMProvider> {
    static constexpr std::array<EnumRow<LLMProvider>, 2> rows{{
        {LLMProvider::Anthropic, "anthropic", "Anthropic"},
        {LLMProvider::OpenAICompatible, "openAICompatible", "OpenAI 兼容"},
    }};
};
