#pragma once

#include <QObject>

#include <memory>

class SystemTranslationBridge;
class TranslationBackend;

// Serves the bridge's requests: for each published request it makes a session
// for the request's languages and hands it to the bridge. Create one behind the
// translate panel, living as long as the panel. By default the sessions come
// from translateLocally; no worker starts before the first request.
class SystemTranslationHost final : public QObject
{
    Q_OBJECT

public:
    explicit SystemTranslationHost(std::shared_ptr<SystemTranslationBridge> bridge, QObject *parent = nullptr);
    SystemTranslationHost(std::shared_ptr<SystemTranslationBridge> bridge, std::shared_ptr<TranslationBackend> backend,
                          QObject *parent = nullptr);
    ~SystemTranslationHost() override;
    Q_DISABLE_COPY_MOVE(SystemTranslationHost)

    // The panel was shown (again): with a configuration set, runs a session
    // once, as on a new request. With no request waiting this does nothing.
    void appear();

private:
    void runSession();

    std::shared_ptr<SystemTranslationBridge> m_bridge;
    std::shared_ptr<TranslationBackend> m_backend;
};
