#pragma once

#include <QPainterPath>
#include <QRectF>

// Rounded rectangles whose corners ease into the straight edges instead of
// meeting them with a sudden change of curvature (the "continuous" or squircle
// corner of modern desktop toolkits). Each corner is a short circular arc
// between two cubic transitions that start further from the corner than the
// radius, by the smoothing share of it; when a side is too short for that,
// the transition shrinks and, at the limit, the corner falls back to a plain
// circular arc of the largest radius that fits.
namespace Widgets::ContinuousCorners {

struct Radii {
    qreal topLeft = 0;
    qreal topRight = 0;
    qreal bottomRight = 0;
    qreal bottomLeft = 0;
};

inline constexpr qreal smoothing = 0.6;

QPainterPath roundedRect(const QRectF &rect, qreal radius);
QPainterPath roundedRect(const QRectF &rect, const Radii &radii);

} // namespace Widgets::ContinuousCorners
