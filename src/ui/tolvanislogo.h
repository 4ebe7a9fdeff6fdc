#pragma once

#include <QColor>
#include <QWidget>

class QPainter;

// The brand logo: the mark in white on a rounded square of the brand colour,
// exactly size × size.
class TolvanisLogo final : public QWidget
{
    Q_OBJECT

public:
    explicit TolvanisLogo(qreal size, QWidget *parent = nullptr);

    // The blue of the logo's background, also used where the brand is shown.
    static QColor brandColor();
    static void paint(QPainter &painter, const QRectF &square);

    qreal logoSize() const { return m_size; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal m_size;
};
