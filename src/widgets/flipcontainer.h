#pragma once

#include <QPixmap>
#include <QWidget>

class QStackedLayout;
class QVariantAnimation;

namespace Widgets {

// Shows one of its faces and turns from one to another with a 3-D rotation
// about the vertical axis, over durationMs on an ease-in-out curve: the
// outgoing face turns until it is edge-on while fading out, and the incoming
// face turns from edge-on to facing the viewer while fading in, both at once. During the turn the two faces are
// drawn from snapshots; the incoming face is live again when the turn ends.
class FlipContainer final : public QWidget
{
    Q_OBJECT

public:
    static constexpr int durationMs = 300;

    explicit FlipContainer(QWidget *parent = nullptr);

    // Adds a face (the container takes ownership); the first one is shown.
    void addFace(QWidget *face);
    // Removes a face that is not the current one and deletes it later.
    void removeFace(QWidget *face);
    QWidget *currentFace() const;
    void flipTo(QWidget *face, bool animated = true);
    bool isFlipping() const;

    // The projection used for a face turned by `degrees` about the vertical axis
    // through the centre of a width × height rectangle; the eye stands as far
    // from the face as the rectangle's larger side.
    static QTransform rotation(qreal degrees, qreal width, qreal height);

Q_SIGNALS:
    void flipFinished(QWidget *current);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void finish();

    QStackedLayout *m_stack;
    QWidget *m_blank;
    QWidget *m_target = nullptr;
    QPixmap m_outgoing;
    QPixmap m_incoming;
    qreal m_progress = 0;
    QVariantAnimation *m_animation;
};

} // namespace Widgets
