#include "widgets/symbollabel.h"

#include "widgets/colors.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QtMath>

namespace Widgets {

SymbolLabel::SymbolLabel(std::optional<Symbol> symbol, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_label(new QLabel(text, this))
{
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_label, 1);
    setTextFont(font());
}

QString SymbolLabel::text() const
{
    return m_label->text();
}

void SymbolLabel::setText(const QString &text)
{
    m_label->setText(text);
    updateGeometryLimits();
}

void SymbolLabel::setSymbol(std::optional<Symbol> symbol)
{
    m_symbol = symbol;
    updateGeometryLimits();
    update();
}

void SymbolLabel::setForeground(Foreground style)
{
    m_foreground = style;
    applyForeground();
}

void SymbolLabel::setTextFont(const QFont &font)
{
    m_label->setFont(font);
    updateGeometryLimits();
}

void SymbolLabel::setSymbolWeight(SymbolWeight weight)
{
    m_weight = weight;
    update();
}

void SymbolLabel::setMaximumLines(int lines)
{
    m_maximumLines = lines;
    updateGeometryLimits();
}

void SymbolLabel::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_applying)
        applyForeground();
}

void SymbolLabel::applyForeground()
{
    m_applying = true;
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Colors::foreground(m_foreground, this->palette()));
    m_label->setPalette(palette);
    m_applying = false;
    update();
}

void SymbolLabel::updateGeometryLimits()
{
    const QFontMetricsF metrics(m_label->font());
    // The symbol takes the box a glyph of the text's size would, plus a gap.
    const int indent = m_symbol ? qCeil(Symbols::boxSide(m_label->font().pixelSize() > 0 ? m_label->font().pixelSize()
                                                                                         : metrics.height() / 1.2) +
                                        4)
                                : 0;
    layout()->setContentsMargins(indent, 0, 0, 0);
    if (m_maximumLines > 0)
        m_label->setMaximumHeight(qCeil(metrics.lineSpacing() * m_maximumLines));
    else
        m_label->setMaximumHeight(QWIDGETSIZE_MAX);
    updateGeometry();
}

void SymbolLabel::paintEvent(QPaintEvent *)
{
    if (!m_symbol)
        return;
    QPainter painter(this);
    const QFontMetricsF metrics(m_label->font());
    const qreal pointSize = m_label->font().pixelSize() > 0 ? m_label->font().pixelSize() : metrics.height() / 1.2;
    const qreal side = Symbols::boxSide(pointSize);
    // Centred on the first line of text, as an inline glyph would be.
    const QPointF centre(side / 2, m_label->y() + metrics.height() / 2);
    Symbols::paint(painter, *m_symbol, centre, pointSize, Colors::foreground(m_foreground, palette()), m_weight);
}

} // namespace Widgets
