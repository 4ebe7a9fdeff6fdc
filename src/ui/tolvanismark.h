#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

// The brand mark in one colour: an outlined rounded square with a solid bar
// across its top and two opposed horizontal arrows in its middle. It fits the
// largest centred square into whatever space it is given.
class TolvanisMark final : public QWidget
{
    Q_OBJECT

public:
    explicit TolvanisMark(const QColor &color, QWidget *parent = nullptr);

    // Proportions of a mark of side s (lengths in the painter's units).
    struct Geometry {
        qreal side, lineWidth, cornerRadius, barHeight, barRadius, symbolSize, symbolPadding;
    };
    static Geometry geometry(qreal side);
    static void paint(QPainter &painter, const QRectF &space, const QColor &color);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};
