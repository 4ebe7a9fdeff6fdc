#pragma once

#include <QStringList>
#include <QTemporaryDir>

// Makes the test stand-in (see its main.cpp) the only translateLocally on PATH
// for the lifetime of the object, with the Chinese → English and English →
// Chinese models installed and no fault switch (STANDIN_*) set; restores the
// environment when destroyed. Switches set with qputenv apply to workers
// started from then on.
class TranslateLocallyStandIn final
{
public:
    TranslateLocallyStandIn();
    ~TranslateLocallyStandIn();
    Q_DISABLE_COPY_MOVE(TranslateLocallyStandIn)

    static QString directory();
    // The models ("zh-en-base": source-target-type) that workers started from
    // now on find, as after the user installed or removed some.
    static void setModels(const QStringList &shortNames);
    // One "<working directory>|<entries in it>" per worker start, oldest first.
    QStringList starts() const;

private:
    static void clearSwitches();

    QTemporaryDir m_dir;
    QByteArray m_previousPath;
};
