#include "ui/tolvanismark.h"

#include "widgets/continuouscorners.h"
#include "widgets/symbols.h"

#include <QPainter>
#include <QPainterPathStroker>

using namespace Widgets;

TolvanisMark::TolvanisMark(const QColor &color, QWidget *parent)
    : QWidget(parent)
    , m_color(color)
{ }

TolvanisMark::Geometry TolvanisMark::geometry(qreal s)
{
    const qreal w = std::max(0.07 * s, 1.2);
    return Geometry{s, w, 0.26 * s, 0.2 * s, 0.26 * s - 0.4 * w, 0.3 * s, 0.2 * s * 0.55};
}

void TolvanisMark::paint(QPainter &painter, const QRectF &space, const QColor &color)
{
    const qreal s = std::min(space.width(), space.height());
    if (s <= 0)
        return;
    const Geometry g = geometry(s);
    const QRectF square(space.center().x() - s / 2, space.center().y() - s / 2, s, s);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    // The outline lies entirely inside the square: the stroke is centred on a
    // rectangle inset by half its width, whose radius shrinks by as much. It is
    // filled as an outline rather than stroked, so that every part of the mark
    // is a fill: GNOME repaints a symbolic icon by overriding the fill of every
    // path, which would flood a stroked outline's inside.
    QPainterPathStroker stroker;
    stroker.setWidth(g.lineWidth);
    stroker.setCapStyle(Qt::FlatCap);
    stroker.setJoinStyle(Qt::MiterJoin);
    stroker.setMiterLimit(10);
    const qreal half = g.lineWidth / 2;
    painter.setPen(Qt::NoPen);
    painter.fillPath(stroker.createStroke(ContinuousCorners::roundedRect(square.adjusted(half, half, -half, -half),
                                                                         g.cornerRadius - half)),
                     color);

    // The bar spans the inset column's full width from its top; only its top
    // corners are rounded.
    const QRectF bar(square.left() + half, square.top() + half, s - g.lineWidth, g.barHeight);
    painter.fillPath(ContinuousCorners::roundedRect(bar, {g.barRadius, g.barRadius, 0, 0}), color);

    // The arrows and their top padding are centred together, which puts the
    // arrows' own centre half the padding below the square's centre.
    Symbols::paint(painter, Symbol::ArrowLeftArrowRight, square.center() + QPointF(0, g.symbolPadding / 2),
                   g.symbolSize, color, SymbolWeight::Heavy);
    painter.restore();
}

void TolvanisMark::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void TolvanisMark::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()), m_color);
}
