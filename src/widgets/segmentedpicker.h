#pragma once

#include <QStringList>
#include <QWidget>

namespace Widgets {

// A row of mutually exclusive segments of equal width on a recessed track; the
// chosen one is raised. Click a segment or use the arrow keys to choose.
class SegmentedPicker final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)

public:
    explicit SegmentedPicker(const QStringList &labels, QWidget *parent = nullptr);

    QStringList labels() const { return m_labels; }
    int currentIndex() const { return m_current; }
    void setCurrentIndex(int index);
    // The segment's rectangle, for hit tests and for tests that click it.
    QRect segmentRect(int index) const;
    // Chooses a segment as a click on it does, for keys and assistive technology.
    void choose(int index);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Only for choices made by the user, not for setCurrentIndex().
    void activated(int index);
    void currentIndexChanged(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QStringList m_labels;
    int m_current = 0;
};

} // namespace Widgets
