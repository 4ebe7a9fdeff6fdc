#pragma once

#include <QFont>

// Fonts by size and weight. Sizes are in device-independent pixels, the unit
// every other length of the views is given in, so text keeps its proportion to
// the layout whatever the desktop's font DPI setting is.
namespace Widgets::Fonts {

QFont system(qreal size, QFont::Weight weight = QFont::Normal);
// The monospaced design: the desktop's fixed-width font.
QFont monospaced(qreal size, QFont::Weight weight = QFont::Normal);
// The heading font of lists and sections.
QFont headline();

} // namespace Widgets::Fonts
