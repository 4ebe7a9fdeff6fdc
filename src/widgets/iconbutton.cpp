#include "widgets/iconbutton.h"

#include "widgets/button.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/focusring.h"

#include <QPainter>

namespace Widgets {

IconButton::IconButton(Symbol symbol, const QString &toolTip, QWidget *parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setToolTip(toolTip);
    setAccessibleName(toolTip);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::track(this);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
    setFixedSize(m_side, m_side);
}

void IconButton::setSymbol(Symbol symbol)
{
    m_symbol = symbol;
    update();
}

void IconButton::setForeground(Foreground style)
{
    m_foreground = style;
    update();
}

void IconButton::setSymbolPointSize(qreal pointSize)
{
    m_pointSize = pointSize;
    update();
}

void IconButton::setSymbolWeight(SymbolWeight weight)
{
    m_weight = weight;
    update();
}

void IconButton::setSide(int side)
{
    m_side = side;
    setFixedSize(side, side);
}

bool IconButton::event(QEvent *event)
{
    return Button::pressOnReturn(this, event) || QAbstractButton::event(event);
}

QSize IconButton::sizeHint() const
{
    return QSize(m_side, m_side);
}

void IconButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor secondary = Colors::secondary(palette());
    const qreal wash = isDown() ? 0.22 : (underMouse() && isEnabled() ? 0.12 : 0.0);
    if (wash > 0)
        painter.fillPath(ContinuousCorners::roundedRect(QRectF(rect()), 5), Colors::withOpacity(secondary, wash));
    if (FocusRing::isVisible(this)) {
        painter.setPen(QPen(Colors::withOpacity(Colors::accent(palette()), 0.6), 1.5));
        painter.drawPath(ContinuousCorners::roundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4));
    }
    QColor color = Colors::foreground(m_foreground, palette());
    if (!isEnabled())
        color = Colors::withOpacity(color, 0.4);
    Symbols::paint(painter, m_symbol, QRectF(rect()).center(), m_pointSize, color, m_weight);
}

} // namespace Widgets
