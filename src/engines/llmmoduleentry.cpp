// The entry point of tolvanis-llm.so; the program reaches it through
// LLMModuleEngine.
#include "engines/llmengine.h"
#include "engines/llmmodule.h"

#include <cstring>

extern "C" Q_DECL_EXPORT TranslationEngine *
tolvanis_create_llm_engine(const char *build, const LLMConnectionSource *connection, KeyStore *keys)
{
    static_assert(std::is_same_v<decltype(tolvanis_create_llm_engine), CreateLLMEngineFunction>);
    if (std::strcmp(build, TOLVANIS_LLM_MODULE_BUILD) != 0)
        return nullptr;
    return new LLMEngine(*connection, *keys);
}
