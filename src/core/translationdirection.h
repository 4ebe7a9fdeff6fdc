#pragma once

#include "core/enumtable.h"

enum class TranslationDirection {
    Auto,
    ZhToEn,
    EnToZh
};

template<>
struct EnumTable<TranslationDirection> {
    static constexpr std::array<EnumRow<TranslationDirection>, 3> rows{{
        {TranslationDirection::Auto, "auto", "自动识别"},
        {TranslationDirection::ZhToEn, "zhToEn", "中 → 英"},
        {TranslationDirection::EnToZh, "enToZh", "英 → 中"},
    }};
};

// The panel's direction control steps through the cases in declaration order
// and wraps from the last back to the first.
TranslationDirection nextDirection(TranslationDirection direction);
