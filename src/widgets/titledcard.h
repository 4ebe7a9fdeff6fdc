#pragma once

#include "widgets/symbols.h"

#include <QFont>
#include <QMargins>
#include <QWidget>

#include <optional>

class QLabel;
class QVBoxLayout;

namespace Widgets {

class SymbolLabel;

// A title above a rounded surface that holds any content. The surface is the
// text background colour outlined in the secondary colour; accented, it is a
// light wash of the accent colour with an accent outline. The outline is drawn
// over the content, so content that reaches the edge does not hide it.
class TitledCard final : public QWidget
{
    Q_OBJECT

public:
    struct Style {
        QFont titleFont;
        bool upperCaseTitle = false;
        int titleSpacing = 4;
        qreal cornerRadius = 8;
        QMargins bodyMargins;
        int bodySpacing = 0;
        qreal outlineOpacity = 0.2;
    };
    // The translate panel's cards: a small monospaced upper-case title close
    // above a surface without padding, so the content reaches its edges.
    static Style compact();
    // The settings window's cards: a semibold monospaced title with an icon
    // above a padded surface with rounder corners, for rows of controls.
    static Style section();

    TitledCard(const QString &title, const Style &style, QWidget *parent = nullptr);

    void setIcon(std::optional<Symbol> icon);
    void setAccent(bool accent);
    bool accent() const { return m_accent; }
    QString title() const;
    // The surface's content goes here.
    QVBoxLayout *bodyLayout() const { return m_bodyLayout; }
    QWidget *surface() const;

private:
    class Surface;
    class Outline;

    Style m_style;
    bool m_accent = false;
    SymbolLabel *m_title;
    Surface *m_surface;
    Outline *m_outline;
    QVBoxLayout *m_bodyLayout;
};

} // namespace Widgets
