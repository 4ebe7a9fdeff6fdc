#pragma once

#include <QTimer>
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

// The view's timers named `name` that have not gone off yet, oldest first:
// which of its own deadlines are still to come, read without a clock of the test's.
inline QList<QTimer *> pendingTimers(const QObject &root, const char *name)
{
    QList<QTimer *> timers = root.findChildren<QTimer *>(QString::fromLatin1(name));
    timers.removeIf([](const QTimer *timer) { return !timer->isActive(); });
    return timers;
}
