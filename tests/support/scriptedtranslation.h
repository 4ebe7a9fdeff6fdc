#pragma once

#include "scriptedengine.h"
#include "storage/historystore.h"
#include "temporaryconfig.h"
#include "ui/translationviewmodel.h"

// A view model over the two engines, scripted, with private settings and a
// private history.
struct ScriptedTranslation {
    TemporaryConfig temporary;
    HistoryStore history{HistoryStore::standardKey(), temporary.settingsFile()};
    std::shared_ptr<ScriptedEngine> system = std::make_shared<ScriptedEngine>(QStringLiteral("系统离线"));
    std::shared_ptr<ScriptedEngine> llm = std::make_shared<ScriptedEngine>(QStringLiteral("LLM"));
    std::shared_ptr<TranslationViewModel> model = makeModel();

    ScriptedTranslation() = default;
    ~ScriptedTranslation()
    {
        system->failPending();
        llm->failPending();
    }
    Q_DISABLE_COPY_MOVE(ScriptedTranslation)

    std::shared_ptr<TranslationViewModel> makeModel()
    {
        return TranslationViewModel::create(system, llm, history, temporary.settings());
    }
};
