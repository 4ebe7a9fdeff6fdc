#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

namespace Widgets {

// Covers one screen with a frozen picture of it and lets the user drag a
// rectangle over it: everything outside the rectangle is dimmed, and the
// rectangle shows its size in the picture's pixels. Escape or a right click
// cancels; a click without a drag selects nothing and keeps it open.
class RegionSelector final : public QWidget
{
    Q_OBJECT

public:
    // `frozen` covers the whole widget, at whatever pixel density it was taken.
    explicit RegionSelector(QImage frozen, QWidget *parent = nullptr);

    // The pixels of a picture of `picture` size that lie under `area` of a
    // widget of `logical` size; with mixed scales the two differ by the
    // screen's own factor.
    static QRect pixelRect(QRect area, QSize logical, QSize picture);

    // Takes every key once the window is on screen: a window outside the
    // window manager's care is never given the focus, and Escape must reach it.
    void grabKeyboardWhenShown() { m_grabKeyboard = true; }

Q_SIGNALS:
    // The part of the frozen picture the user selected, at its full resolution.
    void selected(const QImage &region);
    void cancelled();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QRect selection() const;

    QImage m_frozen;
    QPoint m_origin;
    QPoint m_current;
    bool m_dragging = false;
    bool m_grabKeyboard = false;
};

} // namespace Widgets
