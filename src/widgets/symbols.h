#pragma once

#include <QColor>
#include <QPainterPath>
#include <QString>

#include <optional>

class QIcon;
class QPainter;
class QPixmap;

namespace Widgets {

// The symbols the views show, drawn here as vector paths so that they need no
// icon theme and stay sharp at any size and device pixel ratio. Each symbol is
// designed on a square grid (gridSize) whose side maps to boxPerPoint × the
// point size it is shown at, so a symbol takes the box a glyph of a font of
// that size would. Each path is a fill: strokes are already turned into outlines, and
// cut-outs are holes, so one brush tints the whole symbol.
enum class Symbol {
    ClockArrowCirclepath,
    Gearshape,
    ArrowUpArrowDown,
    Return,
    DocOnDoc,
    Checkmark,
    ExclamationmarkTriangleFill,
    ChevronLeft,
    Tray,
    ArrowRight,
    ArrowLeftArrowRight,
    Sparkles,
    CheckmarkCircleFill,
    ChevronUpChevronDown,
    SpeakerWave2,
    StopFill,
};

enum class SymbolWeight {
    Regular,
    Medium,
    Semibold,
    Heavy
};

namespace Symbols {

inline constexpr qreal gridSize = 24.0;
inline constexpr qreal boxPerPoint = 1.2;

QList<Symbol> all();
QString name(Symbol symbol);
std::optional<Symbol> fromName(QStringView name);

// The fill path on the grid.
QPainterPath path(Symbol symbol, SymbolWeight weight = SymbolWeight::Regular);
// Side of the square box a symbol takes at a point size.
qreal boxSide(qreal pointSize);
void paint(QPainter &painter, Symbol symbol, QPointF centre, qreal pointSize, const QColor &color,
           SymbolWeight weight = SymbolWeight::Regular);
QPixmap pixmap(Symbol symbol, qreal pointSize, const QColor &color, qreal devicePixelRatio,
               SymbolWeight weight = SymbolWeight::Regular);

} // namespace Symbols

} // namespace Widgets
