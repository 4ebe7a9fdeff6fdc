#pragma once

// What assistive technology (a screen reader, through AT-SPI) is told about
// this program beyond what Qt's own widgets say: the segmented pickers' choices,
// and pop-up menus among the application's windows.
namespace Widgets::Accessibility {

// Installs the interfaces; call right after the QApplication is made, before
// any window. Repeated calls do nothing.
void install();

} // namespace Widgets::Accessibility
