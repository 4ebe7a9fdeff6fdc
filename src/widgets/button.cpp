#include "widgets/button.h"

#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/focusring.h"
#include "widgets/fonts.h"

#include <QKeyEvent>
#include <QPainter>

namespace Widgets {

namespace {
constexpr int symbolGap = 4;
} // namespace

Button::Button(Kind kind, const QString &text, QWidget *parent)
    : QAbstractButton(parent)
    , m_kind(kind)
{
    setText(text);
    setFont(Fonts::system(11));
    setFocusPolicy(Qt::TabFocus);
    FocusRing::track(this);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

bool Button::pressOnReturn(QAbstractButton *button, QEvent *event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!isReturn || (key->modifiers() & ~Qt::KeypadModifier))
        return false;
    event->accept();
    if (event->type() == QEvent::KeyPress && !key->isAutoRepeat())
        button->animateClick();
    return true;
}

bool Button::event(QEvent *event)
{
    return pressOnReturn(this, event) || QAbstractButton::event(event);
}

void Button::setSymbol(std::optional<Symbol> symbol)
{
    m_symbol = symbol;
    updateGeometry();
    update();
}

void Button::setControlSize(Size size)
{
    m_size = size;
    updateGeometry();
}

void Button::setLabelFont(const QFont &font)
{
    setFont(font);
    updateGeometry();
}

qreal Button::symbolPointSize() const
{
    return font().pixelSize() > 0 ? font().pixelSize() : 12;
}

QSize Button::sizeHint() const
{
    const int padding = m_size == Size::Small ? 8 : 12;
    int width = fontMetrics().horizontalAdvance(text()) + 2 * padding;
    if (m_symbol)
        width += qRound(Symbols::boxSide(symbolPointSize())) + symbolGap;
    return QSize(std::max(width, m_size == Size::Small ? 40 : 56), m_size == Size::Small ? 20 : 24);
}

QSize Button::minimumSizeHint() const
{
    return sizeHint();
}

void Button::paintBorderedSurface(QPainter &painter, const QPainterPath &shape, const QPalette &palette, bool down)
{
    const bool dark = Colors::isDark(palette);
    QColor fill = dark ? QColor(255, 255, 255, 40) : QColor(Qt::white);
    if (down)
        fill = dark ? QColor(255, 255, 255, 64) : QColor(232, 232, 232);
    painter.fillPath(shape.translated(0, 0.5), QColor(0, 0, 0, dark ? 60 : 28));
    painter.fillPath(shape, fill);
    painter.setPen(QPen(dark ? QColor(255, 255, 255, 22) : QColor(0, 0, 0, 30), 0.8));
    painter.drawPath(shape);
}

void Button::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.0);
    const QPainterPath shape = ContinuousCorners::roundedRect(bounds, m_size == Size::Small ? 5 : 6);

    QColor labelColor;
    if (m_kind == Kind::Prominent) {
        QColor fill = isEnabled() ? Colors::accent(pal) : Colors::withOpacity(Colors::secondary(pal), 0.3);
        if (isDown())
            fill = fill.darker(115);
        painter.fillPath(shape.translated(0, 0.5), QColor(0, 0, 0, 30));
        painter.fillPath(shape, fill);
        // A faint sheen at the top, as a lit, slightly convex surface has.
        QLinearGradient sheen(bounds.topLeft(), bounds.bottomLeft());
        sheen.setColorAt(0, QColor(255, 255, 255, isEnabled() ? 36 : 0));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        painter.fillPath(shape, sheen);
        labelColor = isEnabled() ? QColor(Qt::white) : Colors::withOpacity(Colors::primary(pal), 0.35);
    } else {
        paintBorderedSurface(painter, shape, pal, isDown());
        labelColor = m_kind == Kind::Destructive ? Colors::red(pal) : Colors::primary(pal);
        if (!isEnabled())
            labelColor = Colors::withOpacity(labelColor, 0.35);
    }
    if (FocusRing::isVisible(this)) {
        painter.setPen(QPen(Colors::withOpacity(Colors::accent(pal), 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }

    const qreal symbolSide = m_symbol ? Symbols::boxSide(symbolPointSize()) : 0;
    const qreal textWidth = fontMetrics().horizontalAdvance(text());
    const qreal contentWidth = textWidth + (m_symbol ? symbolSide + symbolGap : 0);
    qreal x = (width() - contentWidth) / 2;
    const qreal centreY = bounds.center().y();
    if (m_symbol) {
        Symbols::paint(painter, *m_symbol, QPointF(x + symbolSide / 2, centreY), symbolPointSize(), labelColor,
                       font().weight() >= QFont::Medium ? SymbolWeight::Medium : SymbolWeight::Regular);
        x += symbolSide + symbolGap;
    }
    painter.setPen(labelColor);
    painter.drawText(QRectF(x, bounds.top(), textWidth + 1, bounds.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace Widgets
