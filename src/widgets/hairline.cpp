#include "widgets/hairline.h"

#include "widgets/colors.h"

#include <QPainter>

namespace Widgets {

HairLine::HairLine(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HairLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Colors::withOpacity(Colors::secondary(palette()), 0.15));
}

} // namespace Widgets
