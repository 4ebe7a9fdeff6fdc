#pragma once

#include <QString>
#include <QStringView>

// Turns the lines a recogniser read into the text a user would have typed:
// Chinese runs without the spaces recognisers put between characters, the
// lines of a paragraph joined the way each script wants (Chinese directly,
// Latin words with one space, nothing after a hyphen at the end of a line),
// and a blank line kept as one paragraph break ("\n\n").
namespace RecognizedText {
QString joinLines(QStringView raw);
} // namespace RecognizedText
