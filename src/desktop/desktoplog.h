#pragma once

#include <QLoggingCategory>

// Diagnostics of the desktop integration (tray, portal, global keys);
// QT_LOGGING_RULES="tolvanis.desktop.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
