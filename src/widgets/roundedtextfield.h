#pragma once

#include <QLineEdit>

namespace Widgets {

// A one-line text field with a rounded border on the text background colour,
// outlined in the accent colour while it has the focus. Return and Enter stay
// with the field: nothing around it submits, saves or closes on them.
class RoundedTextField final : public QLineEdit
{
    Q_OBJECT

public:
    explicit RoundedTextField(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace Widgets
