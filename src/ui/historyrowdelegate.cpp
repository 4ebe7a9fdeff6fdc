#include "ui/historyrowdelegate.h"

#include "ui/historylistmodel.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/fonts.h"
#include "widgets/symbols.h"

#include <QPainter>

using namespace Widgets;

namespace {
constexpr int insetX = 8; // the inset list's margin on each side
constexpr int paddingX = 8; // text inside the row's highlight
constexpr int lineSpacing = 4;
constexpr int arrowGap = 4;
constexpr qreal arrowPointSize = 9;

// One line, cut off at the end when it does not fit; line breaks show as spaces.
QString oneLine(const QString &text, const QFontMetricsF &metrics, qreal width)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QChar::LineSeparator, QLatin1Char(' '));
    return metrics.elidedText(flat, Qt::ElideRight, width);
}
} // namespace

std::pair<qreal, qreal> HistoryRowDelegate::splitWidth(qreal available, qreal sourceWidth, qreal translationWidth)
{
    if (sourceWidth + translationWidth <= available)
        return {sourceWidth, translationWidth};
    const qreal half = available / 2;
    if (sourceWidth < half)
        return {sourceWidth, available - sourceWidth};
    if (translationWidth < half)
        return {available - translationWidth, translationWidth};
    return {half, half};
}

QSize HistoryRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), rowHeight);
}

void HistoryRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = option.palette;
    const QRectF row = QRectF(option.rect).adjusted(insetX, 1, -insetX, -1);
    // The keyboard's current row shows the hover wash, so arrow keys show where Return goes.
    const bool hovered = option.state & (QStyle::State_MouseOver | QStyle::State_HasFocus);
    const bool pressed = (option.state & QStyle::State_Sunken) || (option.state & QStyle::State_Selected && hovered);
    if (hovered || pressed)
        painter->fillPath(ContinuousCorners::roundedRect(row, 6),
                          Colors::withOpacity(Colors::secondary(pal), pressed ? 0.2 : 0.1));

    const QFont sourceFont = Fonts::system(12);
    const QFont translationFont = Fonts::system(12, QFont::Medium);
    const QFont detailFont = Fonts::system(10);
    const QFontMetricsF sourceMetrics(sourceFont);
    const QFontMetricsF translationMetrics(translationFont);
    const QFontMetricsF detailMetrics(detailFont);

    const QRectF content = row.adjusted(paddingX, 0, -paddingX, 0);
    const qreal blockHeight = sourceMetrics.height() + lineSpacing + detailMetrics.height();
    const qreal top = content.top() + (content.height() - blockHeight) / 2;
    const qreal firstLineCentre = top + sourceMetrics.height() / 2;

    const QString source = index.data(HistoryListModel::SourceTextRole).toString();
    const QString translation = index.data(HistoryListModel::TranslatedTextRole).toString();
    const qreal arrowSide = Symbols::boxSide(arrowPointSize);
    const qreal available = content.width() - arrowSide - 2 * arrowGap;
    const auto [sourceWidth, translationWidth] = splitWidth(available, sourceMetrics.horizontalAdvance(source) + 1,
                                                            translationMetrics.horizontalAdvance(translation) + 1);

    qreal x = content.left();
    painter->setFont(sourceFont);
    painter->setPen(Colors::primary(pal));
    const QString shownSource = oneLine(source, sourceMetrics, sourceWidth);
    painter->drawText(QRectF(x, top, sourceWidth, sourceMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      shownSource);
    // The arrow follows the text as drawn, which elision may have shortened.
    const qreal shownWidth = std::min(sourceWidth, sourceMetrics.horizontalAdvance(shownSource));
    x += shownWidth + arrowGap;
    Symbols::paint(*painter, Symbol::ArrowRight, QPointF(x + arrowSide / 2, firstLineCentre), arrowPointSize,
                   Colors::tertiary(pal));
    x += arrowSide + arrowGap;
    painter->setFont(translationFont);
    painter->setPen(Colors::primary(pal));
    const qreal translationSpace = std::max(translationWidth, content.right() - x);
    painter->drawText(QRectF(x, top, translationSpace, translationMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      oneLine(translation, translationMetrics, translationSpace));

    painter->setFont(detailFont);
    painter->setPen(Colors::secondary(pal));
    const qreal detailTop = top + sourceMetrics.height() + lineSpacing;
    painter->drawText(QRectF(content.left(), detailTop, content.width(), detailMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      oneLine(index.data(HistoryListModel::DetailRole).toString(), detailMetrics, content.width()));
    painter->restore();
}
