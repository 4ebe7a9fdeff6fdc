#pragma once

#include "widgets/symbols.h"

#include <QAbstractButton>

#include <optional>

class QPainter;
class QPalette;

namespace Widgets {

// A push button in one of the desktop's styles, with an optional symbol before
// its text: bordered (a raised neutral surface), prominent (filled with the
// accent colour, white label) or destructive (bordered, red label). The small
// size fits rows of controls; the regular one suits a window's main action.
class Button final : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Kind {
        Bordered,
        Prominent,
        Destructive
    };
    enum class Size {
        Small,
        Regular
    };

    Button(Kind kind, const QString &text, QWidget *parent = nullptr);

    Kind kind() const { return m_kind; }
    void setSymbol(std::optional<Symbol> symbol);
    std::optional<Symbol> symbol() const { return m_symbol; }
    void setControlSize(Size size);
    void setLabelFont(const QFont &font);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The bordered style's raised neutral surface, for other controls that
    // look like a bordered button (the pop-up picker).
    static void paintBorderedSurface(QPainter &painter, const QPainterPath &shape, const QPalette &palette, bool down);
    // Return and Enter press a focused button as Space does, before any
    // shortcut of the window (the panel's translate key) can take them. For
    // event(); true when the event was taken.
    static bool pressOnReturn(QAbstractButton *button, QEvent *event);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    qreal symbolPointSize() const;

    Kind m_kind;
    Size m_size = Size::Small;
    std::optional<Symbol> m_symbol;
};

} // namespace Widgets
