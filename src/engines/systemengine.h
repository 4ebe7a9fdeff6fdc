#pragma once

#include "translationengine.h"

#include <memory>

class SystemTranslationBridge;

// The on-device engine "系统离线": trims and checks the text, then asks the
// bridge, whose host runs the translation on this machine.
class SystemEngine final : public TranslationEngine
{
public:
    explicit SystemEngine(std::shared_ptr<SystemTranslationBridge> bridge);

    QString name() const override;
    // Throws emptyInput for blank text and unsupportedLanguagePack for any
    // failure on the device. The translation is returned untrimmed.
    QCoro::Task<QString> translate(QString text, QString from, QString to) override;

    // translateLocally found on PATH. Only looks at the file system: start-up
    // must not wait for a process.
    static bool isAvailable();
    // "zh" for "中文", "en" for anything else.
    static QString languageIdentifier(const QString &languageName);

private:
    std::shared_ptr<SystemTranslationBridge> m_bridge;
};
