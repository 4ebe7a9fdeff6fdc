#pragma once

#include "core/translationengine.h"
#include "core/translationerror.h"

#include <QList>
#include <QObject>

#include <exception>
#include <optional>

// An engine whose answers the test decides. Each translate() call is recorded
// and stays pending until the test settles it by index, so requests can finish
// in any order.
class ScriptedEngine final : public QObject, public TranslationEngine
{
    Q_OBJECT

public:
    struct Call {
        QString text;
        QString from;
        QString to;
        std::optional<QString> result;
        std::exception_ptr error;
        bool pending() const { return !result && !error; }
    };

    explicit ScriptedEngine(QString name = QStringLiteral("Scripted"));

    QString name() const override { return m_name; }
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    const QList<Call> &calls() const { return m_calls; }
    void succeed(qsizetype call, const QString &result);
    void fail(qsizetype call, std::exception_ptr error);
    void fail(qsizetype call, const TranslationError &error) { fail(call, std::make_exception_ptr(error)); }
    // Fails every call still pending. A fixture calls it before it goes: a
    // request left waiting keeps its view model, and with it this engine, alive.
    void failPending();

Q_SIGNALS:
    void settled(qsizetype call);

private:
    QString m_name;
    QList<Call> m_calls;
};
