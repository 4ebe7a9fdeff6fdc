#pragma once

#include <QWidget>

// The named part of a view, as a test reaches for it; a missing part ends the
// test run at once rather than crashing on the null pointer later.
template<typename T>
T *part(const QWidget *root, const QString &name)
{
    T *found = root->findChild<T *>(name);
    if (!found)
        qFatal("no part %s", qPrintable(name));
    return found;
}
