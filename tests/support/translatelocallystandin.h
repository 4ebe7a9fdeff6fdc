#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// Makes the test stand-in the only translateLocally on PATH for the lifetime
// of the object and clears its fault switches (STANDIN_*, see its main.cpp);
// restores PATH and clears the switches again when destroyed. Workers started
// meanwhile record each start in a file.
class TranslateLocallyStandIn final
{
public:
    TranslateLocallyStandIn();
    ~TranslateLocallyStandIn();
    Q_DISABLE_COPY_MOVE(TranslateLocallyStandIn)

    static QString directory();
    // Sets a switch for workers started from now on.
    void set(const char *name, const QByteArray &value);
    void clear(const char *name);
    // One entry per worker start: {working directory, entries in it, arguments}.
    QList<QStringList> starts() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previousPath;
};
