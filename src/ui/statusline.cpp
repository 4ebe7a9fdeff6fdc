#include "ui/statusline.h"

#include "widgets/fonts.h"
#include "widgets/symbollabel.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QTimer>

using namespace Widgets;

namespace {

constexpr int fadeMs = 300;

} // namespace

StatusLine::StatusLine(QWidget *parent)
    : QObject(parent)
    , m_label(new SymbolLabel(Symbol::CheckmarkCircleFill, QString(), parent))
    , m_opacity(new QGraphicsOpacityEffect(m_label))
    , m_fade(new QPropertyAnimation(m_opacity, "opacity", this))
{
    m_label->setObjectName(QStringLiteral("statusLine"));
    m_label->setTextFont(Fonts::system(11, QFont::Medium));
    m_label->setSymbolWeight(SymbolWeight::Medium);
    m_label->hide();
    m_opacity->setOpacity(0);
    m_label->setGraphicsEffect(m_opacity);
    m_fade->setDuration(fadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QPropertyAnimation::finished, this, [this] {
        if (!m_message)
            m_label->hide();
        else
            // Fully shown: drawn directly, not through the effect's pixmap.
            m_opacity->setEnabled(false);
    });
}

void StatusLine::show(const QString &text, Outcome outcome)
{
    m_message = text;
    m_label->setText(text);
    m_label->setSymbol(outcome == Outcome::Done ? Symbol::CheckmarkCircleFill : Symbol::ExclamationmarkTriangleFill);
    m_label->setForeground(outcome == Outcome::Done ? Foreground::Green : Foreground::Red);
    fade(true);
    // Each message has its own removal: a later message neither cancels nor
    // postpones it, and it removes only a line that still shows its text.
    // A precise timer: Qt makes long timers coarse, and a coarse one may fire
    // a little early. A named object, so that tests can see which removals are
    // still pending.
    auto *removal = new QTimer(this);
    removal->setObjectName(QStringLiteral("statusRemoval"));
    removal->setSingleShot(true);
    removal->setTimerType(Qt::PreciseTimer);
    connect(removal, &QTimer::timeout, this, [this, text, removal] {
        removal->deleteLater();
        if (m_message == text) {
            m_message.reset();
            fade(false);
        }
    });
    removal->start(durationMs);
}

void StatusLine::showFailure(const QString &prefix, const QString &reason)
{
    show(prefix + (reason.isEmpty() ? QStringLiteral("未知错误") : reason), Outcome::Failed);
}

void StatusLine::fade(bool in)
{
    m_fade->stop();
    m_opacity->setEnabled(true);
    m_fade->setStartValue(m_label->isHidden() ? 0.0 : m_opacity->opacity());
    m_fade->setEndValue(in ? 1.0 : 0.0);
    if (in)
        m_label->show();
    m_fade->start();
}
