#pragma once

#include "oneshot.h"
#include "translationengine.h"
#include "translationerror.h"

#include <QList>

// An engine whose answers the test decides. Each translate() call is recorded
// and stays pending until the test settles it by index, so requests can finish
// in any order.
class ScriptedEngine final : public TranslationEngine
{
public:
    struct Call {
        QString text;
        QString from;
        QString to;
    };

    explicit ScriptedEngine(QString name = QStringLiteral("Scripted")) : m_name(std::move(name)) {}

    QString name() const override { return m_name; }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    const QList<Call> &calls() const { return m_calls; }
    void succeed(qsizetype call, const QString &result) { m_answers[call].resolve(result); }
    void fail(qsizetype call, std::exception_ptr error) { m_answers[call].reject(std::move(error)); }
    void fail(qsizetype call, const TranslationError &error) { m_answers[call].reject(error); }
    // Fails every call still pending. A fixture calls it before it goes: a
    // request left waiting keeps its view model, and with it this engine, alive.
    void failPending();

private:
    QString m_name;
    QList<Call> m_calls;
    QList<OneShot<QString>> m_answers;
};
