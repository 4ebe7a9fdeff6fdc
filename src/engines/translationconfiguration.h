#pragma once

#include <QString>

// The two languages of one on-device translation, as language identifiers
// ("zh", "en").
struct TranslationConfiguration {
    QString source;
    QString target;

    bool operator==(const TranslationConfiguration &) const = default;
};
