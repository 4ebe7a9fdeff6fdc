#pragma once

#include <QAbstractButton>
#include <QKeySequence>

namespace Widgets {

// A bordered button that shows a key combination and, once pressed (a click,
// Space or Return), records the next combination typed: Escape cancels,
// Backspace or Delete leaves it empty. Only combinations with Ctrl, Alt or
// Super are taken: a bare key would be lost to every other program.
class KeyRecorder final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit KeyRecorder(QWidget *parent = nullptr);

    QKeySequence keySequence() const { return m_keys; }
    // Shows a combination without announcing it as edited.
    void setKeySequence(const QKeySequence &keys);
    bool isRecording() const { return m_recording; }

    QSize sizeHint() const override;

Q_SIGNALS:
    // The user recorded or cleared a combination.
    void keySequenceEdited(const QKeySequence &keys);

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setRecording(bool recording);
    void edit(const QKeySequence &keys);
    void showKeys(Qt::KeyboardModifiers held = Qt::NoModifier);

    QKeySequence m_keys;
    bool m_recording = false;
};

} // namespace Widgets
