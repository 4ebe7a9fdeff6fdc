#include "widgets/keyrecorder.h"

#include "widgets/button.h"
#include "widgets/colors.h"
#include "widgets/continuouscorners.h"
#include "widgets/focusring.h"
#include "widgets/fonts.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>

namespace Widgets {

namespace {

constexpr Qt::KeyboardModifiers comboModifiers = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier |
    Qt::MetaModifier;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

} // namespace

KeyRecorder::KeyRecorder(QWidget *parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFont(Fonts::system(12));
    FocusRing::track(this);
    connect(this, &QAbstractButton::clicked, this, [this] { setRecording(!m_recording); });
    showKeys();
}

void KeyRecorder::setKeySequence(const QKeySequence &keys)
{
    m_keys = keys;
    showKeys();
}

QSize KeyRecorder::sizeHint() const
{
    return {140, 24};
}

bool KeyRecorder::event(QEvent *event)
{
    // While recording every key is ours, also those the window binds (Ctrl+Q).
    if (m_recording && event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (!m_recording && Button::pressOnReturn(this, event))
        return true;
    return QAbstractButton::event(event);
}

void KeyRecorder::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & comboModifiers;
    const int key = event->key();
    const bool plain = modifiers == Qt::NoModifier;
    if (plain && (key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        setRecording(false);
        edit(QKeySequence());
        return;
    }
    if (!m_recording) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    if (plain && key == Qt::Key_Escape) {
        setRecording(false);
        return;
    }
    if (isModifierKey(key) || key == Qt::Key_unknown || !(modifiers & ~Qt::ShiftModifier)) {
        showKeys(modifiers);
        return;
    }
    setRecording(false);
    edit(QKeySequence(QKeyCombination(modifiers, Qt::Key(key))));
}

void KeyRecorder::keyReleaseEvent(QKeyEvent *event)
{
    if (m_recording)
        showKeys(event->modifiers() & comboModifiers);
    else
        QAbstractButton::keyReleaseEvent(event);
}

void KeyRecorder::focusOutEvent(QFocusEvent *event)
{
    setRecording(false);
    QAbstractButton::focusOutEvent(event);
}

void KeyRecorder::hideEvent(QHideEvent *event)
{
    setRecording(false);
    QAbstractButton::hideEvent(event);
}

void KeyRecorder::setRecording(bool recording)
{
    if (recording == m_recording)
        return;
    m_recording = recording;
    // The whole keyboard while recording: on X11 a combination another
    // program (or this one) has bound desktop-wide would never reach us.
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    if (recording) {
        setFocus(Qt::OtherFocusReason); // also when an assistive technology pressed it
        if (x11)
            grabKeyboard();
    } else if (x11) {
        releaseKeyboard();
    }
    showKeys();
}

void KeyRecorder::edit(const QKeySequence &keys)
{
    m_keys = keys;
    showKeys();
    Q_EMIT keySequenceEdited(keys);
}

void KeyRecorder::showKeys(Qt::KeyboardModifiers held)
{
    QString text;
    if (m_recording) {
        QStringList parts;
        for (const auto &[modifier, name] :
             {std::pair{Qt::ControlModifier, "Ctrl"}, std::pair{Qt::AltModifier, "Alt"},
              std::pair{Qt::MetaModifier, "Meta"}, std::pair{Qt::ShiftModifier, "Shift"}})
            if (held & modifier)
                parts << QLatin1String(name);
        text = parts.isEmpty() ? QStringLiteral("请按组合键…") : parts.join(u'+') + QStringLiteral("+…");
    } else {
        text = m_keys.isEmpty() ? QStringLiteral("已关闭") : m_keys.toString(QKeySequence::NativeText);
    }
    setText(text);
    setAccessibleDescription(text);
    update();
}

void KeyRecorder::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -1.0);
    const QPainterPath shape = ContinuousCorners::roundedRect(bounds, 6);
    Button::paintBorderedSurface(painter, shape, pal, isDown());
    if (m_recording || FocusRing::isVisible(this)) {
        painter.setPen(QPen(Colors::withOpacity(Colors::accent(pal), m_recording ? 0.9 : 0.5), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    const bool dim = !isEnabled() || m_keys.isEmpty() || m_recording;
    painter.setPen(dim ? Colors::secondary(pal) : Colors::primary(pal));
    painter.drawText(bounds, Qt::AlignCenter, text());
}

} // namespace Widgets
