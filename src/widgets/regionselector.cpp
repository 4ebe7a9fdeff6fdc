#include "widgets/regionselector.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace Widgets {

namespace {

// Smaller than this in either direction, a drag is taken for a click.
constexpr int minimumDrag = 4;
constexpr int dimAlpha = 120;
constexpr int labelPadding = 4;
constexpr int grabRetryMs = 50;

} // namespace

RegionSelector::RegionSelector(QImage frozen, QWidget *parent)
    : QWidget(parent)
    , m_frozen(std::move(frozen))
{
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("选择要识别的区域"));
}

QRect RegionSelector::pixelRect(QRect area, QSize logical, QSize picture)
{
    if (logical.isEmpty() || picture.isEmpty())
        return {};
    const double sx = double(picture.width()) / logical.width();
    const double sy = double(picture.height()) / logical.height();
    // Outwards to whole pixels, so that text on the rectangle's edge stays whole.
    const int left = int(std::floor(area.left() * sx));
    const int top = int(std::floor(area.top() * sy));
    const int right = int(std::ceil((area.left() + area.width()) * sx));
    const int bottom = int(std::ceil((area.top() + area.height()) * sy));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & QRect(QPoint(0, 0), picture);
}

QRect RegionSelector::selection() const
{
    // The span between the two points, as wide as the pointer moved.
    const QPoint topLeft(std::min(m_origin.x(), m_current.x()), std::min(m_origin.y(), m_current.y()));
    const QSize size(std::abs(m_current.x() - m_origin.x()), std::abs(m_current.y() - m_origin.y()));
    return QRect(topLeft, size) & rect();
}

void RegionSelector::paintEvent(QPaintEvent *)
{
    // Painted means mapped, though perhaps not yet viewable, when the X
    // server refuses the grab: tried again shortly.
    if (m_grabKeyboard && windowHandle()) {
        m_grabKeyboard = !windowHandle()->setKeyboardGrabEnabled(true);
        if (m_grabKeyboard)
            QTimer::singleShot(grabRetryMs, this, qOverload<>(&QWidget::update));
    }
    QPainter painter(this);
    painter.drawImage(rect(), m_frozen);
    const QRect chosen = m_dragging ? selection() : QRect();
    QRegion dimmed(rect());
    dimmed -= chosen;
    painter.setClipRegion(dimmed);
    painter.fillRect(rect(), QColor(0, 0, 0, dimAlpha));
    painter.setClipping(false);
    if (chosen.isEmpty())
        return;
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.drawRect(chosen.adjusted(0, 0, -1, -1));

    const QRect pixels = pixelRect(chosen, size(), m_frozen.size());
    const QString label = QStringLiteral("%1 × %2").arg(pixels.width()).arg(pixels.height());
    QRect box = fontMetrics().boundingRect(label).adjusted(-labelPadding, -labelPadding, labelPadding, labelPadding);
    // Above the rectangle, or inside it at the top of the screen.
    box.moveBottomLeft(chosen.topLeft() - QPoint(0, 2));
    if (box.top() < 0)
        box.moveTopLeft(chosen.topLeft() + QPoint(2, 2));
    box.moveLeft(std::clamp(box.left(), 0, std::max(0, width() - box.width())));
    painter.fillRect(box, QColor(0, 0, 0, 190));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, label);
}

void RegionSelector::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        Q_EMIT cancelled();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_origin = m_current = event->position().toPoint();
    m_dragging = true;
    update();
}

void RegionSelector::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    m_current = event->position().toPoint();
    update();
}

void RegionSelector::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_dragging)
        return;
    m_current = event->position().toPoint();
    m_dragging = false;
    const QRect chosen = selection();
    update();
    if (chosen.width() < minimumDrag || chosen.height() < minimumDrag)
        return; // a click: the user may still drag
    Q_EMIT selected(m_frozen.copy(pixelRect(chosen, size(), m_frozen.size())));
}

void RegionSelector::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace Widgets
