#include "chinesesentences.h"

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

// What may follow the end marks and still belong to the sentence: closing
// quotes and brackets, and the ellipsis of "？……".
bool closesSentence(QChar c)
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
    case u'"':
    case u'\'':
    case u')':
    case u'…':
        return true;
    default:
        return false;
    }
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
