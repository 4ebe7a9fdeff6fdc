#include "widgets/continuouscorners.h"

#include <QtMath>

#include <algorithm>
#include <array>

namespace Widgets::ContinuousCorners {
namespace {

// The shape of one corner, in the corner's own frame: distances measured from
// the corner's start point along the first edge (u) and towards the second
// edge (v). The corner runs from (0, 0) to (extent, extent).
struct CornerShape {
    qreal radius = 0;
    qreal extent = 0; // how far from the corner point the curve starts on each edge
    qreal a = 0, b = 0, c = 0, d = 0;
    qreal arcChord = 0; // the arc's extent along each axis
};

// The corner of radius r with the given share of each side at its disposal.
CornerShape cornerShape(qreal r, qreal budget)
{
    CornerShape shape;
    if (r <= 0 || budget <= 0)
        return shape;
    r = std::min(r, budget);
    qreal xi = std::clamp(budget / r - 1.0, 0.0, smoothing);
    shape.radius = r;
    shape.extent = (1.0 + xi) * r;
    const qreal arcMeasure = 90.0 * (1.0 - xi);
    shape.arcChord = std::sin(qDegreesToRadians(arcMeasure / 2.0)) * r * std::sqrt(2.0);
    const qreal alpha = (90.0 - arcMeasure) / 2.0;
    const qreal p3ToP4 = r * std::tan(qDegreesToRadians(alpha / 2.0));
    const qreal beta = 45.0 * xi;
    shape.c = p3ToP4 * std::cos(qDegreesToRadians(beta));
    shape.d = shape.c * std::tan(qDegreesToRadians(beta));
    shape.b = (shape.extent - shape.arcChord - shape.c - shape.d) / 3.0;
    shape.a = 2.0 * shape.b;
    return shape;
}

// Appends a corner that starts at `start`, first runs along `along` (a unit
// vector of the edge it leaves), and ends on the next edge, which runs along
// `next`.
void appendCorner(QPainterPath &path, QPointF start, QPointF along, QPointF next, const CornerShape &s)
{
    auto at = [&](qreal u, qreal v) { return start + along * u + next * v; };
    if (s.extent <= 0) {
        path.lineTo(start);
        return;
    }
    path.lineTo(start);
    path.cubicTo(at(s.a, 0), at(s.a + s.b, 0), at(s.a + s.b + s.c, s.d));
    // The middle arc, as a cubic: its endpoints and tangents are those of a
    // circular arc of radius r spanning arcMeasure degrees.
    const QPointF arcStart = at(s.a + s.b + s.c, s.d);
    const QPointF arcEnd = at(s.extent - s.d, s.extent - s.a - s.b - s.c);
    const qreal sweep = 2.0 * std::asin(std::min(1.0, s.arcChord / std::sqrt(2.0) / s.radius));
    const qreal handle = 4.0 / 3.0 * std::tan(sweep / 4.0) * s.radius;
    // The arc meets each transition at `alpha` degrees from that edge's direction.
    const qreal alpha = qDegreesToRadians((90.0 - qRadiansToDegrees(sweep)) / 2.0);
    const QPointF t0 = along * std::cos(alpha) + next * std::sin(alpha);
    const QPointF t1 = along * std::sin(alpha) + next * std::cos(alpha);
    if (s.arcChord > 0)
        path.cubicTo(arcStart + t0 * handle, arcEnd - t1 * handle, arcEnd);
    path.cubicTo(at(s.extent, s.extent - s.a - s.b - s.c + s.c), at(s.extent, s.extent - s.a), at(s.extent, s.extent));
}

} // namespace

QPainterPath roundedRect(const QRectF &rect, qreal radius)
{
    return roundedRect(rect, Radii{radius, radius, radius, radius});
}

QPainterPath roundedRect(const QRectF &rect, const Radii &radii)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const qreal w = rect.width();
    const qreal h = rect.height();
    // Each side is shared between its two corners in proportion to their radii.
    auto share = [](qreal side, qreal mine, qreal other) { return other <= 0 ? side : side * mine / (mine + other); };
    const std::array<qreal, 4> r{radii.topLeft, radii.topRight, radii.bottomRight, radii.bottomLeft};
    std::array<CornerShape, 4> shapes;
    for (int i = 0; i < 4; ++i) {
        const qreal horizontalNeighbour = r[i ^ 1]; // TL<->TR, BR<->BL
        const qreal verticalNeighbour = r[3 - i]; // TL<->BL, TR<->BR
        const qreal budget = std::min(share(w, r[i], horizontalNeighbour), share(h, r[i], verticalNeighbour));
        shapes[i] = cornerShape(r[i], budget);
    }

    const QPointF right(1, 0), down(0, 1), left(-1, 0), up(0, -1);
    path.moveTo(rect.left() + shapes[0].extent, rect.top());
    appendCorner(path, QPointF(rect.right() - shapes[1].extent, rect.top()), right, down, shapes[1]);
    appendCorner(path, QPointF(rect.right(), rect.bottom() - shapes[2].extent), down, left, shapes[2]);
    appendCorner(path, QPointF(rect.left() + shapes[3].extent, rect.bottom()), left, up, shapes[3]);
    appendCorner(path, QPointF(rect.left(), rect.top() + shapes[0].extent), up, right, shapes[0]);
    path.closeSubpath();
    return path;
}

} // namespace Widgets::ContinuousCorners
