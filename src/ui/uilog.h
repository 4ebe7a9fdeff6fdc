#pragma once

#include <QLoggingCategory>

// Diagnostics of the ui layer; QT_LOGGING_RULES="tolvanis.ui.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
