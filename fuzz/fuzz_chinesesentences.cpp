// A line of text the user asks to translate on the device.
#include "engines/chinesesentences.h"

#include <cstdlib>

namespace {
QString withoutSpace(const QString &text)
{
    QString kept;
    for (QChar c : text) {
        if (!c.isSpace())
            kept.append(c);
    }
    return kept;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList sentences = ChineseSentences::split(line);
    // Splitting drops only white space: no character of the text is lost.
    if (withoutSpace(sentences.join(QString())) != withoutSpace(line))
        std::abort();
    for (const QString &sentence : sentences) {
        if (sentence.isEmpty() || sentence.trimmed() != sentence)
            std::abort();
    }
    return 0;
}
