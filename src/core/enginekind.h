#pragma once

#include "core/enumtable.h"

enum class EngineKind {
    System,
    LLM
};

template<>
struct EnumTable<EngineKind> {
    static constexpr std::array<EnumRow<EngineKind>, 2> rows{{
        {EngineKind::System, "system", "系统离线"},
        {EngineKind::LLM, "llm", "LLM"},
    }};
};
