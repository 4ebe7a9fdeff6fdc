#pragma once

#include <QLoggingCategory>

// Diagnostics of the app layer; QT_LOGGING_RULES="tolvanis.app.debug=true" shows its debug lines.
Q_DECLARE_LOGGING_CATEGORY(lcApp)
