#include "widgets/roundedtextfield.h"

#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/fonts.h"

#include <QKeyEvent>
#include <QPainter>

namespace Widgets {

namespace {
constexpr int fieldHeight = 22;
constexpr qreal cornerRadius = 5;

bool isReturn(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}
} // namespace

RoundedTextField::RoundedTextField(QWidget *parent)
    : QLineEdit(parent)
{
    // The field draws its own border and fill; the style only draws the text.
    // Masked text shows small bullets rather than the style's large discs.
    setFrame(false);
    setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; "
                                 "lineedit-password-character: 8226; }"));
    setTextMargins(6, 0, 6, 0);
    setFont(Fonts::system(12));
    setAttribute(Qt::WA_MacShowFocusRect, false);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize RoundedTextField::sizeHint() const
{
    return QSize(QLineEdit::sizeHint().width(), std::max(fieldHeight, fontMetrics().height() + 6));
}

QSize RoundedTextField::minimumSizeHint() const
{
    return QSize(QLineEdit::minimumSizeHint().width(), sizeHint().height());
}

void RoundedTextField::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPalette &pal = palette();
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QPainterPath shape = ContinuousCorners::roundedRect(bounds, cornerRadius);
        painter.fillPath(shape, Colors::textBackground(pal));
        painter.setBrush(Qt::NoBrush);
        if (hasFocus()) {
            painter.setPen(QPen(Colors::withOpacity(Colors::accent(pal), 0.6), 1.5));
        } else {
            painter.setPen(QPen(Colors::withOpacity(Colors::secondary(pal), 0.45), 1));
        }
        painter.drawPath(shape);
    }
    QLineEdit::paintEvent(event);
}

bool RoundedTextField::event(QEvent *event)
{
    // Claimed before any shortcut of the window can take it.
    if (event->type() == QEvent::ShortcutOverride && isReturn(static_cast<QKeyEvent *>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void RoundedTextField::keyPressEvent(QKeyEvent *event)
{
    QLineEdit::keyPressEvent(event);
    // QLineEdit lets Return travel on to its parents, where a dialog would
    // press its default button or close.
    if (isReturn(event))
        event->accept();
}

} // namespace Widgets
