#pragma once

#include "enumtable.h"

// The two stored secrets; the raw value is the item's account attribute.
// Declaration order is the order in which legacy keys are migrated.
enum class KeychainAccount { Anthropic, OpenAICompatible };

template <>
struct EnumTable<KeychainAccount> {
    static constexpr std::array<EnumRow<KeychainAccount>, 2> rows{{
        {KeychainAccount::Anthropic, "anthropic-api-key", "Anthropic"},
        {KeychainAccount::OpenAICompatible, "openai-compatible-api-key", "OpenAI 兼容"},
    }};
};
