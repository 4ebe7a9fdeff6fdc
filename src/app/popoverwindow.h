#pragma once

#include <QWidget>

// The frameless panel window that opens under the tray icon. It is as tall as
// its content, has no taskbar entry, closes on Escape and reports when another
// application takes the focus, which is how an outside click shows itself on
// a Linux desktop. Where a compositing manager runs it has rounded corners and
// a hairline outline (the compositor adds its shadow); elsewhere it is an
// opaque rectangle with a hairline outline.
class PopoverWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr qreal cornerRadius = 10;

    explicit PopoverWindow(QWidget *content, QWidget *parent = nullptr);

    // Lays the panel out and creates its native window without showing it, so
    // that the first click only has to map it.
    void prepare();
    // Shows the window at a position and gives it the keyboard focus.
    void open(QPoint topLeft);
    bool isComposited() const { return m_composited; }

Q_SIGNALS:
    void deactivated();
    void escapePressed();

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_composited = false;
    bool m_prepared = false;
};
