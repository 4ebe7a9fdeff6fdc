#include "widgets/screenregionpicker.h"

#include "widgets/regionselector.h"

#include <QGuiApplication>
#include <QScreen>

namespace Widgets {

ScreenRegionPicker::ScreenRegionPicker(QObject *parent)
    : QObject(parent)
{ }

ScreenRegionPicker::~ScreenRegionPicker()
{
    closeAll();
}

void ScreenRegionPicker::pick(const QList<Frozen> &screens)
{
    closeAll();
    const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    for (const Frozen &frozen : screens) {
        // Above every panel and dock: on X11 outside the window manager's
        // stacking, elsewhere as a full-screen window on its own output.
        const Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
            (x11 ? Qt::X11BypassWindowManagerHint : Qt::WindowFlags());
        auto *selector = new RegionSelector(frozen.picture);
        selector->setWindowFlags(flags);
        selector->setAttribute(Qt::WA_DeleteOnClose);
        selector->setWindowTitle(QStringLiteral("截图翻译"));
        selector->setScreen(frozen.screen);
        selector->setGeometry(frozen.screen->geometry());
        connect(selector, &RegionSelector::selected, this, [this](const QImage &region) {
            closeAll();
            Q_EMIT selected(region);
        });
        connect(selector, &RegionSelector::cancelled, this, [this] {
            closeAll();
            Q_EMIT cancelled();
        });
        m_selectors.append(selector);
        if (x11)
            selector->show();
        else
            selector->showFullScreen();
    }
    if (m_selectors.isEmpty()) {
        Q_EMIT cancelled();
        return;
    }
    RegionSelector *first = m_selectors.first();
    first->activateWindow();
    first->setFocus();
    if (x11)
        first->grabKeyboardWhenShown();
}

void ScreenRegionPicker::closeAll()
{
    const QList<QPointer<RegionSelector>> selectors = std::exchange(m_selectors, {});
    for (const QPointer<RegionSelector> &selector : selectors) {
        if (!selector)
            continue;
        selector->close();
    }
}

} // namespace Widgets
