#include "widgets/symbols.h"

#include "widgets/continuouscorners.h"

#include <QHash>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QtMath>

#include <array>

namespace Widgets {

namespace {

struct SymbolRow {
    Symbol symbol;
    const char *name;
};

constexpr std::array<SymbolRow, 16> symbolRows{{
    {Symbol::ClockArrowCirclepath, "clock.arrow.circlepath"},
    {Symbol::Gearshape, "gearshape"},
    {Symbol::ArrowUpArrowDown, "arrow.up.arrow.down"},
    {Symbol::Return, "return"},
    {Symbol::DocOnDoc, "doc.on.doc"},
    {Symbol::Checkmark, "checkmark"},
    {Symbol::ExclamationmarkTriangleFill, "exclamationmark.triangle.fill"},
    {Symbol::ChevronLeft, "chevron.left"},
    {Symbol::Tray, "tray"},
    {Symbol::ArrowRight, "arrow.right"},
    {Symbol::ArrowLeftArrowRight, "arrow.left.arrow.right"},
    {Symbol::Sparkles, "sparkles"},
    {Symbol::CheckmarkCircleFill, "checkmark.circle.fill"},
    {Symbol::ChevronUpChevronDown, "chevron.up.chevron.down"},
    {Symbol::SpeakerWave2, "speaker.wave.2"},
    {Symbol::StopFill, "stop.fill"},
}};

// Line width on the grid for each weight, close to the stems of the system
// font at the same weight.
qreal strokeWidth(SymbolWeight weight)
{
    switch (weight) {
    case SymbolWeight::Regular:
        return 1.8;
    case SymbolWeight::Medium:
        return 2.0;
    case SymbolWeight::Semibold:
        return 2.3;
    case SymbolWeight::Heavy:
        return 3.0;
    }
    return 1.8;
}

QPainterPath outline(const QPainterPath &centreLine, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(centreLine).simplified();
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF &point : points) {
        if (first)
            path.moveTo(point);
        else
            path.lineTo(point);
        first = false;
    }
    return path;
}

// A straight arrow from `from` to `to` with an open head of the given arm length.
QPainterPath arrow(QPointF from, QPointF to, qreal head)
{
    QPainterPath path = polyline({from, to});
    const QPointF direction = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF normal(-direction.y(), direction.x());
    const QPointF back = to - direction * head;
    path.addPath(polyline({back + normal * head, to, back - normal * head}));
    return path;
}

// A four-pointed star with concave sides, as in a sparkle.
QPainterPath sparkle(QPointF centre, qreal radius)
{
    QPainterPath path;
    const qreal pinch = radius * 0.14;
    const std::array<QPointF, 4> tips{QPointF(0, -radius), QPointF(radius, 0), QPointF(0, radius), QPointF(-radius, 0)};
    path.moveTo(centre + tips[0]);
    for (int i = 0; i < 4; ++i) {
        const QPointF a = tips[i];
        const QPointF b = tips[(i + 1) % 4];
        const QPointF control = (a + b) * 0.5 * (pinch / radius);
        path.quadTo(centre + control, centre + b);
    }
    path.closeSubpath();
    return path;
}

QPainterPath gear(qreal w)
{
    QPainterPath silhouette;
    silhouette.addEllipse(QPointF(12, 12), 7.4, 7.4);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-1.9, -10.2, 3.8, 5.0), 1.1, 1.1);
        QTransform rotation;
        rotation.translate(12, 12);
        rotation.rotate(22.5 + 45.0 * i);
        silhouette = silhouette.united(rotation.map(tooth));
    }
    // The gear is an outline: its rim with the teeth, and the hub.
    QPainterPath path = outline(silhouette.simplified(), w);
    QPainterPath hub;
    hub.addEllipse(QPointF(12, 12), 3.0, 3.0);
    path = path.united(outline(hub, w));
    return path;
}

QPainterPath clockArrow(qreal w)
{
    QPainterPath ring;
    const QRectF circle(3.5, 3.5, 17, 17);
    // The circle is open at the left; the arrow on its upper end turns
    // counter-clockwise, the way a clock is wound back.
    ring.arcMoveTo(circle, 165);
    ring.arcTo(circle, 165, -290);
    QPainterPath path = outline(ring, w);
    const QPointF tip(4.0, 9.9);
    path = path.united(outline(polyline({tip + QPointF(-2.6, -2.4), tip, tip + QPointF(3.2, -1.0)}), w));
    path = path.united(outline(polyline({QPointF(12, 7.5), QPointF(12, 12.3), QPointF(15.2, 14.4)}), w));
    return path;
}

QPainterPath docOnDoc(qreal w)
{
    const QRectF front(3.5, 7.5, 11.5, 14);
    const QRectF back(9, 2.5, 11.5, 14);
    const QPainterPath frontShape = ContinuousCorners::roundedRect(front, 2.6);
    QPainterPath path = outline(frontShape, w);
    QPainterPath backOutline = outline(ContinuousCorners::roundedRect(back, 2.6), w);
    // The back sheet is hidden behind the front one, with a small gap.
    backOutline = backOutline.subtracted(ContinuousCorners::roundedRect(front.adjusted(-w, -w, w, w), 2.6 + w));
    return path.united(backOutline);
}

QPainterPath warningTriangle(qreal w)
{
    QPainterPath triangle = polyline({QPointF(12, 3.4), QPointF(21.3, 19.6), QPointF(2.7, 19.6)});
    triangle.closeSubpath();
    QPainterPathStroker rounder;
    rounder.setWidth(3.0);
    rounder.setJoinStyle(Qt::RoundJoin);
    QPainterPath filled = triangle.united(rounder.createStroke(triangle)).simplified();
    QPainterPath mark = outline(polyline({QPointF(12, 8.6), QPointF(12, 13.4)}), std::max(w, 2.1));
    mark.addEllipse(QPointF(12, 16.6), 1.3, 1.3);
    return filled.subtracted(mark.simplified());
}

QPainterPath tray(qreal w)
{
    QPainterPath path;
    path.moveTo(3.5, 13);
    path.lineTo(6.8, 5.5);
    path.lineTo(17.2, 5.5);
    path.lineTo(20.5, 13);
    path.lineTo(20.5, 18.5);
    path.quadTo(20.5, 19.5, 19.5, 19.5);
    path.lineTo(4.5, 19.5);
    path.quadTo(3.5, 19.5, 3.5, 18.5);
    path.closeSubpath();
    QPainterPath slot = polyline({QPointF(3.5, 13), QPointF(8.5, 13), QPointF(9.4, 15.4), QPointF(14.6, 15.4),
                                  QPointF(15.5, 13), QPointF(20.5, 13)});
    return outline(path, w).united(outline(slot, w));
}

// A loudspeaker facing right with two sound waves in front of it.
QPainterPath speakerWaves(qreal w)
{
    QPainterPath cone = polyline({QPointF(3.5, 9.2), QPointF(7, 9.2), QPointF(11.5, 5), QPointF(11.5, 19),
                                  QPointF(7, 14.8), QPointF(3.5, 14.8)});
    cone.closeSubpath();
    QPainterPath path = outline(cone, w);
    for (const qreal radius : {3.6, 7.2}) {
        const QRectF circle(12.5 - radius, 12 - radius, 2 * radius, 2 * radius);
        QPainterPath wave;
        wave.arcMoveTo(circle, 50);
        wave.arcTo(circle, 50, -100);
        path = path.united(outline(wave, w));
    }
    return path;
}

QPainterPath checkmarkLine()
{
    return polyline({QPointF(5.2, 12.8), QPointF(9.8, 17.6), QPointF(18.8, 6.4)});
}

QPainterPath buildPath(Symbol symbol, SymbolWeight weight)
{
    const qreal w = strokeWidth(weight);
    switch (symbol) {
    case Symbol::ClockArrowCirclepath:
        return clockArrow(w);
    case Symbol::Gearshape:
        return gear(w);
    case Symbol::ArrowUpArrowDown: {
        QPainterPath path = arrow(QPointF(8, 19.5), QPointF(8, 4.5), 3.6);
        path.addPath(arrow(QPointF(16, 4.5), QPointF(16, 19.5), 3.6));
        return outline(path, w);
    }
    case Symbol::Return: {
        QPainterPath path;
        path.moveTo(19, 5);
        path.lineTo(19, 11);
        path.quadTo(19, 14.5, 15.5, 14.5);
        path.lineTo(5, 14.5);
        path.addPath(polyline({QPointF(9.2, 10.3), QPointF(5, 14.5), QPointF(9.2, 18.7)}));
        return outline(path, w);
    }
    case Symbol::DocOnDoc:
        return docOnDoc(w);
    case Symbol::Checkmark:
        return outline(checkmarkLine(), w * 1.15);
    case Symbol::ExclamationmarkTriangleFill:
        return warningTriangle(w);
    case Symbol::ChevronLeft:
        return outline(polyline({QPointF(15, 4.2), QPointF(7.8, 12), QPointF(15, 19.8)}), w * 1.1);
    case Symbol::ChevronUpChevronDown: {
        QPainterPath path = polyline({QPointF(7, 9), QPointF(12, 4), QPointF(17, 9)});
        path.addPath(polyline({QPointF(7, 15), QPointF(12, 20), QPointF(17, 15)}));
        return outline(path, w * 1.1);
    }
    case Symbol::Tray:
        return tray(w);
    case Symbol::SpeakerWave2:
        return speakerWaves(w);
    case Symbol::StopFill:
        return ContinuousCorners::roundedRect(QRectF(5.5, 5.5, 13, 13), 3);
    case Symbol::ArrowRight:
        return outline(arrow(QPointF(4, 12), QPointF(20, 12), 6.2), w);
    case Symbol::ArrowLeftArrowRight: {
        QPainterPath path = arrow(QPointF(4, 7.5), QPointF(20, 7.5), 3.8);
        path.addPath(arrow(QPointF(20, 16.5), QPointF(4, 16.5), 3.8));
        return outline(path, w);
    }
    case Symbol::Sparkles: {
        QPainterPath path = sparkle(QPointF(10, 14), 8.5);
        path = path.united(sparkle(QPointF(18.5, 5.5), 3.6));
        path = path.united(sparkle(QPointF(19, 17.5), 2.4));
        return path;
    }
    case Symbol::CheckmarkCircleFill: {
        QPainterPath disc;
        disc.addEllipse(QPointF(12, 12), 10, 10);
        QTransform shrink;
        shrink.translate(12, 12);
        shrink.scale(0.62, 0.62);
        shrink.translate(-12, -12.6);
        return disc.subtracted(outline(shrink.map(checkmarkLine()), std::max(w, 2.0) * 1.3));
    }
    }
    return {};
}

} // namespace

namespace Symbols {

QList<Symbol> all()
{
    QList<Symbol> symbols;
    for (const auto &row : symbolRows)
        symbols.append(row.symbol);
    return symbols;
}

QString name(Symbol symbol)
{
    for (const auto &row : symbolRows) {
        if (row.symbol == symbol)
            return QString::fromLatin1(row.name);
    }
    return {};
}

std::optional<Symbol> fromName(QStringView name)
{
    for (const auto &row : symbolRows) {
        if (name == QLatin1StringView(row.name))
            return row.symbol;
    }
    return std::nullopt;
}

QPainterPath path(Symbol symbol, SymbolWeight weight)
{
    // Building a path unites several outlines; every paint needs it again.
    static QHash<std::pair<int, int>, QPainterPath> cache;
    const auto key = std::make_pair(static_cast<int>(symbol), static_cast<int>(weight));
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    QPainterPath built = buildPath(symbol, weight);
    cache.insert(key, built);
    return built;
}

qreal boxSide(qreal pointSize)
{
    return pointSize * boxPerPoint;
}

void paint(QPainter &painter, Symbol symbol, QPointF centre, qreal pointSize, const QColor &color, SymbolWeight weight)
{
    const qreal scale = boxSide(pointSize) / gridSize;
    QTransform transform;
    transform.translate(centre.x(), centre.y());
    transform.scale(scale, scale);
    transform.translate(-gridSize / 2, -gridSize / 2);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPath(transform.map(path(symbol, weight)));
    painter.restore();
}

QPixmap pixmap(Symbol symbol, qreal pointSize, const QColor &color, qreal devicePixelRatio, SymbolWeight weight)
{
    const qreal side = boxSide(pointSize);
    const int pixels = qCeil(side * devicePixelRatio);
    QPixmap result(pixels, pixels);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    const qreal logical = pixels / devicePixelRatio;
    paint(painter, symbol, QPointF(logical / 2, logical / 2), pointSize, color, weight);
    return result;
}

} // namespace Symbols

} // namespace Widgets
