#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// Makes the test stand-in the only translateLocally on PATH for the lifetime
// of the object, gives it a models folder of its own (through XDG_DATA_HOME)
// holding the Chinese → English and English → Chinese models, and clears its
// fault switches (STANDIN_*, see its main.cpp); restores the environment when
// destroyed. Workers started meanwhile record each start in a file.
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
    // Installs or removes a model ("zh-en-base": source-target-type) as the
    // user's model manager does; a worker sees only what it found at its start.
    void installModel(const QString &shortName);
    void removeModel(const QString &shortName);
    // One entry per worker start: {working directory, entries in it, arguments}.
    QList<QStringList> starts() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previousPath;
    QByteArray m_previousDataHome;
};
