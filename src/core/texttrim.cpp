#include "core/texttrim.h"

#include <algorithm>

namespace TextTrim {

bool isBlank(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); });
}

} // namespace TextTrim
