#pragma once

#include <QLoggingCategory>

// Diagnostics of the user-interface layer; QT_LOGGING_RULES="tolvanis.ui.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcUi)
