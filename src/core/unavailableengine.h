#pragma once

#include "translationengine.h"

// Stands in for an engine that cannot run on this machine: every request fails
// with a network error carrying the reason.
class UnavailableEngine final : public TranslationEngine
{
public:
    UnavailableEngine(QString name, QString reason);

    QString name() const override { return m_name; }
    QString reason() const { return m_reason; }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    // Why the on-device engine is unavailable on Linux.
    static QString missingTranslateLocallyReason();

private:
    QString m_name;
    QString m_reason;
};
