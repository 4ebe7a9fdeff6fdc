#include "widgets/segmentedpicker.h"

#include "widgets/accessibility.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/focusring.h"
#include "widgets/fonts.h"
#include "widgets/segmentedpickeraccessible.h"

#include <QKeyEvent>
#include <QPainter>

namespace Widgets {

namespace {
constexpr int pickerHeight = 24;
constexpr int inset = 2;
constexpr qreal trackRadius = 7;
} // namespace

SegmentedPicker::SegmentedPicker(const QStringList &labels, QWidget *parent)
    : QWidget(parent)
    , m_labels(labels)
{
    setFont(Fonts::system(12, QFont::Medium));
    setFocusPolicy(Qt::TabFocus);
    FocusRing::track(this);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
    Accessibility::install();
}

void SegmentedPicker::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_labels.size() || index == m_current)
        return;
    const int previous = m_current;
    m_current = index;
    update();
    SegmentedPickerAccessible::notifySelectionChanged(this, previous, index);
    Q_EMIT currentIndexChanged(index);
}

QRect SegmentedPicker::segmentRect(int index) const
{
    const int count = std::max<qsizetype>(1, m_labels.size());
    const qreal width = (this->width() - 2.0 * inset) / count;
    return QRectF(inset + index * width, inset, width, this->height() - 2.0 * inset).toRect();
}

QSize SegmentedPicker::sizeHint() const
{
    int widest = 0;
    for (const QString &label : m_labels)
        widest = std::max(widest, fontMetrics().horizontalAdvance(label));
    return QSize(int(m_labels.size()) * (widest + 24) + 2 * inset, pickerHeight);
}

QSize SegmentedPicker::minimumSizeHint() const
{
    return sizeHint();
}

void SegmentedPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const bool dark = Colors::isDark(pal);
    const QColor secondary = Colors::secondary(pal);

    painter.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), trackRadius),
                     Colors::withOpacity(secondary, dark ? 0.28 : 0.16));

    for (int i = 0; i < m_labels.size(); ++i) {
        const QRectF segment = segmentRect(i);
        if (i == m_current) {
            const QPainterPath knob = ContinuousCorners::roundedRect(segment, trackRadius - inset);
            // A soft shadow under the raised segment.
            painter.fillPath(knob.translated(0, 0.5), QColor(0, 0, 0, dark ? 70 : 30));
            painter.fillPath(knob, dark ? QColor(255, 255, 255, 60) : QColor(Qt::white));
        } else if (i > 0 && i - 1 != m_current) {
            // A hairline between two segments that are not chosen.
            painter.setPen(QPen(Colors::withOpacity(secondary, 0.35), 1));
            painter.drawLine(QPointF(segment.left(), segment.top() + 5), QPointF(segment.left(), segment.bottom() - 5));
        }
        painter.setPen(i == m_current ? Colors::primary(pal) : Colors::withOpacity(Colors::primary(pal), 0.75));
        painter.drawText(segment, Qt::AlignCenter, m_labels.at(i));
    }
    if (FocusRing::isVisible(this)) {
        painter.setPen(QPen(Colors::withOpacity(Colors::accent(pal), 0.6), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(ContinuousCorners::roundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), trackRadius - 1));
    }
}

void SegmentedPicker::mousePressEvent(QMouseEvent *event)
{
    for (int i = 0; i < m_labels.size(); ++i) {
        if (segmentRect(i).contains(event->position().toPoint())) {
            choose(i);
            return;
        }
    }
}

void SegmentedPicker::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Left)
        choose(std::max(0, m_current - 1));
    else if (event->key() == Qt::Key_Right)
        choose(std::min<int>(m_labels.size() - 1, m_current + 1));
    else
        QWidget::keyPressEvent(event);
}

void SegmentedPicker::choose(int index)
{
    setCurrentIndex(index);
    Q_EMIT activated(index);
}

} // namespace Widgets
