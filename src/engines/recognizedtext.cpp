#include "engines/recognizedtext.h"

#include <QStringList>

namespace {

// Han, kana and the CJK punctuation and full-width forms: characters written
// without spaces between them.
bool isWide(char32_t c)
{
    return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
        (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

// Punctuation Chinese shares with Latin text: it goes without a space only
// next to a wide character.
bool isSharedPunctuation(char32_t c)
{
    return (c >= 0x2018 && c <= 0x201D) || c == 0x2014 || c == 0x2026 || c == 0x00B7;
}

bool bindsWithoutSpace(char32_t left, char32_t right)
{
    return (isWide(left) && (isWide(right) || isSharedPunctuation(right))) ||
        (isWide(right) && isSharedPunctuation(left));
}

char32_t firstOf(const QList<char32_t> &line)
{
    return line.isEmpty() ? 0 : line.first();
}

char32_t lastOf(const QList<char32_t> &line)
{
    return line.isEmpty() ? 0 : line.last();
}

// One line with its white space collapsed and the spaces between wide
// characters dropped.
QList<char32_t> tidyLine(QStringView line)
{
    const QList<uint> codes = line.toString().simplified().toUcs4();
    QList<char32_t> out;
    out.reserve(codes.size());
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const char32_t c = codes[i];
        if (c == U' ' && !out.isEmpty() && i + 1 < codes.size() && bindsWithoutSpace(out.last(), codes[i + 1]))
            continue;
        out.append(c);
    }
    return out;
}

} // namespace

QString RecognizedText::joinLines(QStringView raw)
{
    QList<char32_t> out;
    bool paragraphBreak = false;
    for (const QStringView rawLine : raw.tokenize(u'\n')) {
        const QList<char32_t> line = tidyLine(rawLine);
        if (line.isEmpty()) {
            paragraphBreak = !out.isEmpty();
            continue;
        }
        if (paragraphBreak) {
            out.append({U'\n', U'\n'});
        } else if (!out.isEmpty()) {
            const char32_t left = lastOf(out);
            const char32_t right = firstOf(line);
            // A word split at its hyphen keeps the hyphen: in screen text the
            // break is more often in a compound ("well-known") than a hyphenation.
            const bool hyphenated = left == U'-' && out.size() > 1 && QChar::isLetter(out[out.size() - 2]);
            if (!hyphenated && !isWide(left) && !isWide(right))
                out.append(U' ');
        }
        paragraphBreak = false;
        out.append(line);
    }
    return QString::fromUcs4(out.constData(), out.size());
}
