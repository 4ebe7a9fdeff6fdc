#include "corelog.h"

Q_LOGGING_CATEGORY(lcCore, "tolvanis.core", QtInfoMsg)
