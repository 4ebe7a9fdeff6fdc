#include "ui/submittextview.h"

#include "widgets/fonts.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTimer>

using namespace Widgets;

SubmitTextView::SubmitTextView(QWidget *parent)
    : QPlainTextEdit(parent)
{
    setFont(Fonts::system(13));
    setFrameShape(QFrame::NoFrame);
    setBackgroundVisible(false);
    viewport()->setAutoFillBackground(false);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
    document()->setDocumentMargin(6);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTabChangesFocus(true);

    // The document also reports changes of an input method's pre-edit text,
    // which is not part of the text yet: report only real changes.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        QString text = toPlainText();
        if (text == m_reported)
            return;
        m_reported = text;
        Q_EMIT textEdited(m_reported);
    });
    QTimer::singleShot(0, this, &SubmitTextView::focusIfInWindow);
}

void SubmitTextView::updateText(const QString &text)
{
    if (toPlainText() == text)
        return;
    setPlainText(text);
    moveCursor(QTextCursor::End);
}

void SubmitTextView::focusIfInWindow()
{
    QWidget *top = window();
    if (!isVisible() || !top || !top->isVisible())
        return;
    setFocus(Qt::OtherFocusReason);
}

void SubmitTextView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty() && m_composing) {
        m_justCommitted = true;
        QTimer::singleShot(0, this, [this] { m_justCommitted = false; });
    }
    m_composing = !event->preeditString().isEmpty();
    QPlainTextEdit::inputMethodEvent(event);
}

void SubmitTextView::keyPressEvent(QKeyEvent *event)
{
    const bool isReturn = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!isReturn) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (m_composing || m_justCommitted) {
        // The input method's commit key, not a request to translate.
        event->accept();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier) {
        // A real line break, not the Unicode line separator QPlainTextEdit
        // inserts for Shift-Return, so the text holds "\n" as typed elsewhere.
        textCursor().insertText(QStringLiteral("\n"));
        ensureCursorVisible();
        event->accept();
        return;
    }
    event->accept();
    Q_EMIT submitted();
}
