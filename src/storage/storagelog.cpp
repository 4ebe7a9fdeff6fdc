#include "storage/storagelog.h"

Q_LOGGING_CATEGORY(lcStorage, "tolvanis.storage", QtInfoMsg)
