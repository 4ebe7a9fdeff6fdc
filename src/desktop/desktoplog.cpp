#include "desktop/desktoplog.h"

Q_LOGGING_CATEGORY(lcDesktop, "tolvanis.desktop", QtInfoMsg)
