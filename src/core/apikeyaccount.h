#pragma once

#include "core/enumtable.h"

// The two stored secrets; the raw value is the item's account attribute.
// Declaration order is the order in which legacy keys are migrated.
enum class ApiKeyAccount {
    Anthropic,
    OpenAICompatible
};

template<>
struct EnumTable<ApiKeyAccount> {
    static constexpr std::array<EnumRow<ApiKeyAccount>, 2> rows{{
        {ApiKeyAccount::Anthropic, "anthropic-api-key", "Anthropic"},
        {ApiKeyAccount::OpenAICompatible, "openai-compatible-api-key", "OpenAI 兼容"},
    }};
};
