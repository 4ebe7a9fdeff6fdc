#pragma once

#include <QString>
#include <QStringList>

// translateLocally's sentence splitter does not break Chinese text on its
// full-width end marks, so a whole paragraph would reach the model as one
// "sentence" and come back truncated or garbled. We split it ourselves.
namespace ChineseSentences {
// The sentences of one line, each ending after its run of end marks (。！？ and
// their half-width forms ｡!?) and any closing quotes or brackets that follow;
// white space around sentences is dropped, empty pieces are not returned.
QStringList split(const QString &line);

// translateLocally joins the sentences it translates with the spacing of the
// source, so English "Hello. Good morning." comes back as "你好。 早上好。".
// Returns `text` without each run of ASCII spaces that stands between a
// Chinese sentence end (。！？ and the full-width closing quotes or brackets
// after it) and a CJK character; line breaks and all other spacing stay.
QString withoutSpacesBetweenSentences(const QString &text);
} // namespace ChineseSentences
