#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>

class QScreen;

namespace Widgets {

class RegionSelector;

// A RegionSelector on every screen at once, each over that screen's frozen
// picture; the first selection or cancellation closes them all and is told once.
class ScreenRegionPicker final : public QObject
{
    Q_OBJECT

public:
    struct Frozen {
        QScreen *screen = nullptr;
        QImage picture;
    };

    explicit ScreenRegionPicker(QObject *parent = nullptr);
    ~ScreenRegionPicker() override;
    Q_DISABLE_COPY_MOVE(ScreenRegionPicker)

    void pick(const QList<Frozen> &screens);
    bool isPicking() const { return !m_selectors.isEmpty(); }

Q_SIGNALS:
    void selected(const QImage &region);
    void cancelled();

private:
    void closeAll();

    QList<QPointer<RegionSelector>> m_selectors;
};

} // namespace Widgets
