#pragma once

#include <QComboBox>

namespace Widgets {

// A pop-up menu button: the chosen item's text on a bordered-button surface
// with up and down chevrons at the trailing end; a click opens the list.
class PopUpPicker final : public QComboBox
{
    Q_OBJECT

public:
    explicit PopUpPicker(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace Widgets
