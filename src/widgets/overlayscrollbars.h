#pragma once

#include <QString>

class QScrollArea;
class QWidget;

// A style sheet for thin vertical scroll bars without arrows that sit over the
// content's edge, as on desktops with overlay scrollers. Set it on a widget
// that contains the scroll area.
namespace Widgets::OverlayScrollBars {

QString styleSheet();

// A frameless, vertically scrolling area around `page` that lets whatever is
// behind it show through.
QScrollArea *transparentScrollArea(QWidget *page, QWidget *parent);

} // namespace Widgets::OverlayScrollBars
