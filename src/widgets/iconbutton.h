#pragma once

#include "widgets/colors.h"
#include "widgets/symbols.h"

#include <QAbstractButton>

namespace Widgets {

// A borderless button showing one symbol in a square somewhat larger than the
// symbol, so that the target is easier to hit than the glyph: the whole square
// takes clicks and shows a light rounded wash on hover.
class IconButton final : public QAbstractButton
{
    Q_OBJECT

public:
    IconButton(Symbol symbol, const QString &toolTip, QWidget *parent = nullptr);

    Symbol symbol() const { return m_symbol; }
    void setSymbol(Symbol symbol);
    void setForeground(Foreground style);
    Foreground foreground() const { return m_foreground; }
    void setSymbolPointSize(qreal pointSize);
    void setSymbolWeight(SymbolWeight weight);
    void setSide(int side);

    QSize sizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Symbol m_symbol;
    Foreground m_foreground = Foreground::Secondary;
    SymbolWeight m_weight = SymbolWeight::Regular;
    qreal m_pointSize = 12;
    int m_side = 22;
};

} // namespace Widgets
