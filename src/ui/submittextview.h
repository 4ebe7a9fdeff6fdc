#pragma once

#include <QPlainTextEdit>

// The translator's multi-line input: plain text with small insets, no frame or background of its own. Return submits, Shift-Return
// inserts a line break; a Return that an input method uses to commit its
// pre-edit text never submits. Every edit is reported with the whole text, and
// the field takes the keyboard focus when its owner asks and once, right after
// it is created, if it is then in a window. Pasted styled text arrives as
// plain text in the field's own font.
class SubmitTextView final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit SubmitTextView(QWidget *parent = nullptr);

    QString text() const { return toPlainText(); }
    // Shows `text` unless the field already shows exactly that, so an update
    // with unchanged text leaves the cursor and selection alone.
    void updateText(const QString &text);
    // Takes the keyboard focus if the field is on screen in a window.
    void focusIfInWindow();
    // Keeps the text this far from the trailing edge, clear of buttons placed there.
    void setTrailingInset(int inset) { setViewportMargins(0, 0, inset, 0); }

Q_SIGNALS:
    void textEdited(const QString &text);
    void submitted();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    QString m_reported;
    bool m_composing = false;
    // Set when an input method commits text, until control returns to the
    // event loop: a Return delivered after the commit belongs to it.
    bool m_justCommitted = false;
};
