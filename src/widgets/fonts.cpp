#include "widgets/fonts.h"

#include <QApplication>
#include <QFontDatabase>

namespace Widgets::Fonts {
namespace {

QFont sized(QFont font, qreal size, QFont::Weight weight)
{
    font.setPixelSize(qRound(size));
    font.setWeight(weight);
    return font;
}

} // namespace

QFont system(qreal size, QFont::Weight weight)
{
    return sized(QApplication::font(), size, weight);
}

QFont monospaced(qreal size, QFont::Weight weight)
{
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), size, weight);
}

QFont headline()
{
    return system(13, QFont::DemiBold);
}

} // namespace Widgets::Fonts
