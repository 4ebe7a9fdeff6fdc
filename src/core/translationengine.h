#pragma once

#include <QCoroTask>
#include <QString>

// Something that turns a text from one language name ("中文" or "英文") into
// the other. translate() throws TranslationError on failure; the caller awaits
// it on the GUI thread.
class TranslationEngine
{
public:
    virtual ~TranslationEngine() = default;

    // User-facing name, recorded in every history entry the engine produces.
    virtual QString name() const = 0;
    virtual QCoro::Task<QString> translate(QString text, QString from, QString to) = 0;
};
