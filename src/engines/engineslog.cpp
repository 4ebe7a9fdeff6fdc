#include "engines/engineslog.h"

Q_LOGGING_CATEGORY(lcEngines, "tolvanis.engines", QtInfoMsg)
