#pragma once

#include <QWidget>

// The frameless panel window that opens under the tray icon. It has no
// taskbar entry and reports when another application takes the focus, which
// is how an outside click shows itself on a Linux desktop.
class PopoverWindow final : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize contentSize{340, 430};

    explicit PopoverWindow(QWidget *content, QWidget *parent = nullptr);

    // Shows the window at a position and gives it the keyboard focus.
    void open(QPoint topLeft);

Q_SIGNALS:
    void deactivated();

protected:
    void changeEvent(QEvent *event) override;
};
