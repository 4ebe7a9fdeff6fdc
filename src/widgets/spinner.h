#pragma once

#include <QWidget>

class QTimer;

namespace Widgets {

// A small indeterminate progress indicator: spokes whose brightness
// runs round the circle. It animates only while it is visible.
class Spinner final : public QWidget
{
    Q_OBJECT

public:
    explicit Spinner(QWidget *parent = nullptr);

    bool isAnimating() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int m_step = 0;
    QTimer *m_timer;
};

} // namespace Widgets
