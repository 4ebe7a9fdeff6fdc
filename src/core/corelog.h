#pragma once

#include <QLoggingCategory>

// Diagnostics of the core layer; QT_LOGGING_RULES="tolvanis.core.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcCore)
