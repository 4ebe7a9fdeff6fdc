#include "widgets/flipcontainer.h"

#include <QEasingCurve>
#include <QPainter>
#include <QStackedLayout>
#include <QVariantAnimation>
#include <QtMath>

namespace Widgets {

namespace {

// The ease-in-out timing curve of the desktop toolkits: cubic Bézier with the
// control points (0.42, 0) and (0.58, 1).
QEasingCurve easeInOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}

} // namespace

FlipContainer::FlipContainer(QWidget *parent)
    : QWidget(parent)
    , m_stack(new QStackedLayout(this))
    , m_blank(new QWidget(this))
    , m_animation(new QVariantAnimation(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_blank);
    m_animation->setDuration(durationMs);
    m_animation->setEasingCurve(easeInOut());
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toReal();
        update();
    });
    connect(m_animation, &QVariantAnimation::finished, this, &FlipContainer::finish);
}

void FlipContainer::addFace(QWidget *face)
{
    m_stack->addWidget(face);
    if (m_stack->currentWidget() == m_blank && !m_target)
        m_stack->setCurrentWidget(face);
}

void FlipContainer::removeFace(QWidget *face)
{
    if (face == currentFace() || face == m_target)
        return;
    m_stack->removeWidget(face);
    face->hide();
    face->deleteLater();
}

QWidget *FlipContainer::currentFace() const
{
    if (m_target)
        return m_target;
    QWidget *current = m_stack->currentWidget();
    return current == m_blank ? nullptr : current;
}

bool FlipContainer::isFlipping() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void FlipContainer::flipTo(QWidget *face, bool animated)
{
    if (isFlipping()) {
        m_animation->stop();
        finish();
    }
    QWidget *outgoing = m_stack->currentWidget();
    if (face == outgoing)
        return;
    if (!animated || !isVisible() || outgoing == m_blank) {
        m_stack->setCurrentWidget(face);
        Q_EMIT flipFinished(face);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    m_outgoing = outgoing->grab();
    face->setGeometry(outgoing->geometry());
    face->ensurePolished();
    if (face->layout())
        face->layout()->activate();
    m_incoming = face->grab();
    m_outgoing.setDevicePixelRatio(ratio);
    m_incoming.setDevicePixelRatio(ratio);
    m_target = face;
    m_progress = 0;
    m_stack->setCurrentWidget(m_blank);
    m_animation->start();
    update();
}

void FlipContainer::finish()
{
    QWidget *face = m_target;
    m_target = nullptr;
    m_outgoing = QPixmap();
    m_incoming = QPixmap();
    if (!face)
        return;
    m_stack->setCurrentWidget(face);
    update();
    Q_EMIT flipFinished(face);
}

QTransform FlipContainer::rotation(qreal degrees, qreal width, qreal height)
{
    const qreal radians = qDegreesToRadians(degrees);
    const qreal distance = std::max(width, height);
    // x' = x·cos θ / (1 − x·sin θ / d) about the centre: the point's depth after
    // the turn is x·sin θ, seen from distance d.
    QTransform projection(std::cos(radians), 0, -std::sin(radians) / distance, 0, 1, 0, 0, 0, 1);
    QTransform toCentre = QTransform::fromTranslate(-width / 2, -height / 2);
    QTransform back = QTransform::fromTranslate(width / 2, height / 2);
    return toCentre * projection * back;
}

void FlipContainer::paintEvent(QPaintEvent *)
{
    if (!m_target)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    auto drawFace = [&](const QPixmap &pixmap, qreal degrees, qreal opacity) {
        if (opacity <= 0 || std::abs(degrees) >= 90)
            return;
        const QSizeF size = pixmap.deviceIndependentSize();
        painter.save();
        painter.setOpacity(opacity);
        painter.setTransform(rotation(degrees, size.width(), size.height()));
        painter.drawPixmap(QPointF(0, 0), pixmap);
        painter.restore();
    };
    drawFace(m_outgoing, 90.0 * m_progress, 1.0 - m_progress);
    drawFace(m_incoming, -90.0 * (1.0 - m_progress), m_progress);
}

} // namespace Widgets
