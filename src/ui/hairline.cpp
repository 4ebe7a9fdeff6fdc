#include "hairline.h"

#include "toolkitcolors.h"

#include <QPainter>

HairLine::HairLine(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HairLine::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ToolkitColors::withOpacity(ToolkitColors::secondary(palette()), 0.15));
}
