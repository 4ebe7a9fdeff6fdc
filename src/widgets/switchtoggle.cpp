#include "widgets/switchtoggle.h"

#include "widgets/colors.h"
#include "widgets/focusring.h"

#include <QPainter>
#include <QVariantAnimation>

namespace Widgets {

SwitchToggle::SwitchToggle(QWidget *parent)
    : QAbstractButton(parent)
    , m_animation(new QVariantAnimation(this))
{
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    FocusRing::track(this);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation->setDuration(150);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_position = value.toReal();
        update();
    });
}

QSize SwitchToggle::sizeHint() const
{
    return QSize(34, 20);
}

void SwitchToggle::checkStateSet()
{
    // Set from code: no animation, the switch simply shows the new state.
    m_animation->stop();
    m_position = isChecked() ? 1.0 : 0.0;
    update();
}

void SwitchToggle::nextCheckState()
{
    QAbstractButton::nextCheckState();
    animateTo(isChecked());
}

void SwitchToggle::animateTo(bool on)
{
    m_animation->stop();
    m_animation->setStartValue(m_position);
    m_animation->setEndValue(on ? 1.0 : 0.0);
    m_animation->start();
}

void SwitchToggle::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
    const qreal radius = track.height() / 2;

    const QColor off = Colors::withOpacity(Colors::secondary(pal), Colors::isDark(pal) ? 0.45 : 0.3);
    const QColor on = Colors::accent(pal);
    QColor fill;
    fill.setRgbF(off.redF() + (on.redF() - off.redF()) * m_position,
                 off.greenF() + (on.greenF() - off.greenF()) * m_position,
                 off.blueF() + (on.blueF() - off.blueF()) * m_position,
                 off.alphaF() + (on.alphaF() - off.alphaF()) * m_position);
    if (!isEnabled())
        fill = Colors::withOpacity(fill, 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobSide = track.height() - 2;
    const qreal x = track.left() + 1 + (track.width() - knobSide - 2) * m_position;
    const QRectF knob(x, track.top() + 1, knobSide, knobSide);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.6));
    painter.setBrush(isDown() ? QColor(240, 240, 240) : QColor(Qt::white));
    painter.drawEllipse(knob);
    if (FocusRing::isVisible(this)) {
        painter.setPen(QPen(Colors::withOpacity(on, 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius + 0.5, radius + 0.5);
    }
}

} // namespace Widgets
