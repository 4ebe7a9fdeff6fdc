#include "widgets/popuppicker.h"

#include "widgets/button.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/fonts.h"
#include "widgets/symbols.h"

#include <QPainter>

namespace Widgets {

namespace {
constexpr int pickerHeight = 22;
constexpr int padding = 8;
constexpr qreal chevronPoints = 10;
} // namespace

PopUpPicker::PopUpPicker(QWidget *parent)
    : QComboBox(parent)
{
    setFont(Fonts::system(12));
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QSize PopUpPicker::sizeHint() const
{
    return QSize(QComboBox::sizeHint().width(), pickerHeight);
}

QSize PopUpPicker::minimumSizeHint() const
{
    return QSize(QComboBox::minimumSizeHint().width(), pickerHeight);
}

void PopUpPicker::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.0);
    const QPainterPath shape = ContinuousCorners::roundedRect(bounds, 5);
    Button::paintBorderedSurface(painter, shape, pal, false);
    if (hasFocus()) {
        painter.setPen(QPen(Colors::withOpacity(Colors::accent(pal), 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }

    const qreal chevronSide = Symbols::boxSide(chevronPoints);
    const QColor color = isEnabled() ? Colors::primary(pal) : Colors::withOpacity(Colors::primary(pal), 0.35);
    Symbols::paint(painter, Symbol::ChevronUpChevronDown,
                   QPointF(bounds.right() - padding / 2.0 - chevronSide / 2, bounds.center().y()), chevronPoints,
                   Colors::secondary(pal), SymbolWeight::Semibold);

    const QRectF textRect(bounds.left() + padding, bounds.top(), bounds.width() - 2 * padding - chevronSide,
                          bounds.height());
    painter.setPen(color);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(currentText(), Qt::ElideRight, int(textRect.width())));
}

} // namespace Widgets
