#pragma once

#include "core/keystore.h"
#include "core/llmconnection.h"
#include "core/translationengine.h"

#include <memory>

// The language-model engines live in a module of their own (tolvanis-llm.so),
// opened at the first translation that needs one: Qt Network and the Kerberos,
// proxy and resolver libraries it brings then cost nothing at start-up, when
// the tray icon is all the user waits for. The module is never closed again.
//
// A module of another build (the package was upgraded while tolvanis ran) is
// refused rather than called: the classes crossing into it may differ.
class LLMModuleEngine final : public TranslationEngine
{
public:
    // `modulePath` empty: the module built beside the program, else the
    // installed one.
    LLMModuleEngine(LLMConnectionSource connection, KeyStore &keys, QString modulePath = QString());
    ~LLMModuleEngine() override;
    Q_DISABLE_COPY_MOVE(LLMModuleEngine)

    QString name() const override { return QStringLiteral("LLM"); }
    // Throws engineUnavailable when the module cannot be used, and whatever
    // the module's engine throws.
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    static QString defaultModulePath();

private:
    TranslationEngine &engine();

    LLMConnectionSource m_connection;
    KeyStore &m_keys;
    QString m_modulePath;
    std::unique_ptr<TranslationEngine> m_engine;
};

// What the module exports, resolved by name. `build` is the loader's build tag;
// a module of another build returns null.
extern "C" {
using CreateLLMEngineFunction = TranslationEngine *(const char *build, const LLMConnectionSource *connection,
                                                    KeyStore *keys);
}
inline constexpr char createLLMEngineSymbol[] = "tolvanis_create_llm_engine";
