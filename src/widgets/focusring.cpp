#include "widgets/focusring.h"

#include <QEvent>
#include <QFocusEvent>
#include <QWidget>

namespace Widgets {

namespace {

constexpr const char *keyboardFocusProperty = "tolvanisKeyboardFocus";

class FocusReasonRecorder final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            watched->setProperty(keyboardFocusProperty,
                                 reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
        }
        return false;
    }
};

} // namespace

namespace FocusRing {

void track(QWidget *widget)
{
    widget->installEventFilter(new FocusReasonRecorder(widget));
}

bool isVisible(const QWidget *widget)
{
    return widget->hasFocus() && widget->property(keyboardFocusProperty).toBool();
}

} // namespace FocusRing

} // namespace Widgets
