#include "engines/chinesesentences.h"

namespace {

bool isEndMark(QChar c)
{
    switch (c.unicode()) {
    case u'。':
    case u'！':
    case u'？':
    case u'｡':
    case u'!':
    case u'?':
        return true;
    default:
        return false;
    }
}

bool isFullWidthEndMark(QChar c)
{
    return c == u'。' || c == u'！' || c == u'？';
}

bool isFullWidthCloser(QChar c)
{
    switch (c.unicode()) {
    case u'”':
    case u'’':
    case u'」':
    case u'』':
    case u'）':
    case u'》':
    case u'〉':
    case u'】':
    case u'〕':
        return true;
    default:
        return false;
    }
}

// What may follow the end marks and still belong to the sentence: closing
// quotes and brackets, and the ellipsis of "？……".
bool closesSentence(QChar c)
{
    if (isFullWidthCloser(c))
        return true;
    switch (c.unicode()) {
    case u'"':
    case u'\'':
    case u')':
    case u'…':
        return true;
    default:
        return false;
    }
}

// Han ideographs (also beyond the BMP), CJK and full-width punctuation, and the
// curly opening quotes that Chinese text opens a quotation with.
bool startsWithCjk(QStringView text)
{
    if (text.isEmpty())
        return false;
    const char32_t c = text.size() > 1 && QChar::isSurrogate(text.at(0).unicode())
        ? QChar::surrogateToUcs4(text.at(0), text.at(1))
        : text.at(0).unicode();
    return QChar::script(c) == QChar::Script_Han || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFFEF) ||
        c == u'“' || c == u'‘';
}

} // namespace

QStringList ChineseSentences::split(const QString &line)
{
    QStringList sentences;
    qsizetype start = 0;
    const qsizetype size = line.size();
    auto flush = [&](qsizetype end) {
        const QString sentence = line.mid(start, end - start).trimmed();
        if (!sentence.isEmpty())
            sentences.append(sentence);
        start = end;
    };
    qsizetype i = 0;
    while (i < size) {
        if (!isEndMark(line.at(i))) {
            ++i;
            continue;
        }
        while (i < size && isEndMark(line.at(i)))
            ++i;
        while (i < size && closesSentence(line.at(i)))
            ++i;
        flush(i);
    }
    flush(size);
    return sentences;
}

QString ChineseSentences::withoutSpacesBetweenSentences(const QString &text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const bool endMark = isFullWidthEndMark(text.at(i));
        result.append(text.at(i++));
        if (!endMark)
            continue;
        while (i < size && (isFullWidthEndMark(text.at(i)) || isFullWidthCloser(text.at(i))))
            result.append(text.at(i++));
        qsizetype next = i;
        while (next < size && text.at(next) == u' ')
            ++next;
        if (startsWithCjk(QStringView(text).sliced(next)))
            i = next;
    }
    return result;
}
