#include "widgets/spinner.h"

#include "widgets/colors.h"

#include <QPainter>
#include <QTimer>

namespace Widgets {

namespace {
constexpr int spokes = 12;
} // namespace

Spinner::Spinner(QWidget *parent)
    : QWidget(parent)
    , m_timer(new QTimer(this))
{
    setFixedSize(16, 16);
    m_timer->setInterval(1000 / spokes);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

bool Spinner::isAnimating() const
{
    return m_timer->isActive();
}

QSize Spinner::sizeHint() const
{
    return QSize(16, 16);
}

void Spinner::showEvent(QShowEvent *)
{
    m_timer->start();
}

void Spinner::hideEvent(QHideEvent *)
{
    m_timer->stop();
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    const QColor color = Colors::primary(palette());
    QPen pen(color, side * 0.09, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is the brightest; those behind it fade.
        const int age = (m_step - i + spokes) % spokes;
        pen.setColor(Colors::withOpacity(color, 0.15 + 0.7 * (1.0 - age / qreal(spokes))));
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -side * 0.24), QPointF(0, -side * 0.44));
        painter.rotate(360.0 / spokes);
    }
}

} // namespace Widgets
