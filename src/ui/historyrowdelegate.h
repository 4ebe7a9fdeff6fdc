#pragma once

#include <QStyledItemDelegate>

// Draws one history row: the source text, a small arrow and the translation on
// the first line (each cut off to one line), the engine and date below in
// small dimmed type; rows sit inset with a rounded highlight under the mouse.
class HistoryRowDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int rowHeight = 46;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // Splits the width between the two texts of the first line: each gets what
    // it needs if both fit, otherwise the shorter keeps its width up to half
    // and the longer takes the rest.
    static std::pair<qreal, qreal> splitWidth(qreal available, qreal sourceWidth, qreal translationWidth);
};
