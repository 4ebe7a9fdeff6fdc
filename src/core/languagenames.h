#pragma once

#include <QString>

// The only two language names that travel between the view model and the engines.
namespace LanguageName {
inline QString chinese()
{
    return QStringLiteral("中文");
}
inline QString english()
{
    return QStringLiteral("英文");
}
} // namespace LanguageName
