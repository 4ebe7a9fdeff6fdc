#include "core/translationdirection.h"

TranslationDirection nextDirection(TranslationDirection direction)
{
    const auto cases = allCases<TranslationDirection>();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        if (cases[i] == direction)
            return cases[(i + 1) % cases.size()];
    }
    return cases[0];
}
