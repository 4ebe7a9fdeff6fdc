#pragma once

class QWidget;

// Whether a toolkit control shows its focus ring: only while it has the focus
// and got it from the keyboard (Tab or Backtab), not because it happened to be
// the first control of a window that was activated.
namespace Widgets::FocusRing {

void track(QWidget *widget);
bool isVisible(const QWidget *widget);

} // namespace Widgets::FocusRing
