#include "ui/tolvanislogo.h"

#include "ui/tolvanismark.h"
#include "widgets/continuouscorners.h"

#include <QPainter>
#include <QtMath>

using namespace Widgets;

TolvanisLogo::TolvanisLogo(qreal size, QWidget *parent)
    : QWidget(parent)
    , m_size(size)
{
    setFixedSize(qCeil(size), qCeil(size));
}

QColor TolvanisLogo::brandColor()
{
    static const QColor color = QColor::fromRgbF(0.29f, 0.51f, 0.98f, 1.0f);
    return color;
}

void TolvanisLogo::paint(QPainter &painter, const QRectF &square)
{
    const qreal size = square.width();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(ContinuousCorners::roundedRect(square, 0.24 * size), brandColor());
    const qreal padding = 0.16 * size;
    TolvanisMark::paint(painter, square.adjusted(padding, padding, -padding, -padding), Qt::white);
    painter.restore();
}

QSize TolvanisLogo::sizeHint() const
{
    return QSize(qCeil(m_size), qCeil(m_size));
}

void TolvanisLogo::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QRectF(0, 0, m_size, m_size));
}
