#pragma once

#include <QCoroTask>
#include <QString>

// Translates texts between the two languages it was made for. Any failure is
// thrown; callers do not tell failures apart.
class TranslationSession
{
public:
    virtual ~TranslationSession() = default;
    virtual QCoro::Task<QString> translate(QString text) = 0;
};
