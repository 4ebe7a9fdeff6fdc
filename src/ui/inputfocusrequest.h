#pragma once

#include <QObject>

// The process-wide request that puts the keyboard focus into the translator's
// input field. Anything may post it; every input field listens. It carries no
// sender and no payload.
class InputFocusRequest final : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *name = "com.quendrix.tolvanis.focusInput";

    static InputFocusRequest &instance();
    // Delivers the request now.
    static void post();
    // Delivers it from the event loop, after the events already queued.
    static void postQueued();

Q_SIGNALS:
    void focusTranslatorInput();

private:
    InputFocusRequest() = default;
};
