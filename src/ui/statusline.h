#pragma once

#include <QObject>

#include <optional>

class QGraphicsOpacityEffect;
class QPropertyAnimation;
class QWidget;

namespace Widgets {
class SymbolLabel;
} // namespace Widgets

// The settings window's short-lived status line: a message with a check mark
// in green or a warning sign in red. It fades in, and each message fades out
// on its own time unless a newer message has taken its place by then.
class StatusLine final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,
        Failed
    };

    // How long each message stays before it fades out.
    static constexpr int durationMs = 2000;

    explicit StatusLine(QWidget *parent);
    Q_DISABLE_COPY_MOVE(StatusLine)

    // The line itself, for the layout; hidden while there is no message.
    Widgets::SymbolLabel *label() const { return m_label; }
    // The message while it is shown.
    std::optional<QString> message() const { return m_message; }

    void show(const QString &text, Outcome outcome);
    // `prefix` and the reason, or a stand-in when nobody said why.
    void showFailure(const QString &prefix, const QString &reason);

private:
    void fade(bool in);

    Widgets::SymbolLabel *m_label;
    QGraphicsOpacityEffect *m_opacity;
    QPropertyAnimation *m_fade;
    std::optional<QString> m_message;
};
