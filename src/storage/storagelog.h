#pragma once

#include <QLoggingCategory>

// Diagnostics of the storage layer; QT_LOGGING_RULES="tolvanis.storage.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
