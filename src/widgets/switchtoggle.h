#pragma once

#include <QAbstractButton>

class QVariantAnimation;

namespace Widgets {

// An on/off switch: a capsule track, accent-filled when on, with a white knob
// that slides across when the user flips it and jumps when code sets it.
class SwitchToggle final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SwitchToggle(QWidget *parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void animateTo(bool on);

    qreal m_position = 0; // 0: off, 1: on
    QVariantAnimation *m_animation;
};

} // namespace Widgets
