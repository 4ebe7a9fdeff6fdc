#pragma once

#include "widgets/colors.h"
#include "widgets/symbols.h"

#include <QWidget>

#include <optional>

class QLabel;

namespace Widgets {

// A symbol before a text, both in one foreground style: the error line, the
// history title, the settings status line. The text may wrap onto a limited
// number of lines (0: as many as it needs).
class SymbolLabel final : public QWidget
{
    Q_OBJECT

public:
    SymbolLabel(std::optional<Symbol> symbol, const QString &text, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    void setSymbol(std::optional<Symbol> symbol);
    std::optional<Symbol> symbol() const { return m_symbol; }
    void setForeground(Foreground style);
    Foreground foreground() const { return m_foreground; }
    void setTextFont(const QFont &font);
    void setSymbolWeight(SymbolWeight weight);
    void setMaximumLines(int lines);

protected:
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void applyForeground();
    void updateGeometryLimits();

    std::optional<Symbol> m_symbol;
    Foreground m_foreground = Foreground::Primary;
    SymbolWeight m_weight = SymbolWeight::Regular;
    QLabel *m_label;
    int m_maximumLines = 0;
    bool m_applying = false;
};

} // namespace Widgets
