#pragma once

#include <QWidget>

namespace Widgets {

// A hairline across the available width, in a faint shade of the secondary
// colour: it separates without drawing the eye.
class HairLine final : public QWidget
{
    Q_OBJECT

public:
    explicit HairLine(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace Widgets
