#pragma once

#include <QString>

// A file of the program's own (a worker, a module): beside the program in the
// build tree, where it is built next to it; else where the installed program
// finds it, `fromBindir` being relative to the program's folder.
QString programFile(const char *name, const QString &fromBindir);
