#pragma once

#include <QWidget>

namespace Widgets {

// A 1-high dividing line across the available width, in the secondary colour
// at opacity 0.15.
class HairLine final : public QWidget
{
    Q_OBJECT

public:
    explicit HairLine(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace Widgets
