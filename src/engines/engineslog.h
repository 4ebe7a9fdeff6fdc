#pragma once

#include <QLoggingCategory>

// Diagnostics of the engines layer; QT_LOGGING_RULES="tolvanis.engines.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcEngines)
