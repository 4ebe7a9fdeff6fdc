#include "widgets/accessibility.h"

#include "widgets/segmentedpicker.h"
#include "widgets/segmentedpickeraccessible.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QWindow>

namespace Widgets {

namespace {

// Qt's own application object leaves pop-up windows out of its children, so
// an open menu (the status icon's) is missing from the tree a screen reader
// walks. This one lists every top-level window that has an accessible root.
class ApplicationAccessible final : public QAccessibleObject
{
public:
    ApplicationAccessible()
        : QAccessibleObject(qApp)
    { }

    QWindow *window() const override { return nullptr; }
    QAccessibleInterface *parent() const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Application; }
    QAccessible::State state() const override { return {}; }
    int childCount() const override { return int(roots().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<QAccessibleInterface *> all = roots();
        return index >= 0 && index < all.size() ? all.at(index) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(roots().indexOf(const_cast<QAccessibleInterface *>(child)));
    }

    QAccessibleInterface *focusChild() const override
    {
        QWindow *focused = QGuiApplication::focusWindow();
        return focused ? focused->accessibleRoot() : nullptr;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return QGuiApplication::applicationName();
        if (kind == QAccessible::Description)
            return QCoreApplication::applicationFilePath();
        return {};
    }

private:
    static QList<QAccessibleInterface *> roots()
    {
        QList<QAccessibleInterface *> found;
        const QWindowList windows = QGuiApplication::topLevelWindows();
        for (QWindow *window : windows) {
            QAccessibleInterface *root = window->type() == Qt::Desktop ? nullptr : window->accessibleRoot();
            if (root && root->object())
                found.append(root);
        }
        return found;
    }
};

// Asked for each class of the object from the most derived one on, before
// Qt's own factory when installed after it.
QAccessibleInterface *createInterface(const QString &className, QObject *object)
{
    if (auto *picker = qobject_cast<SegmentedPicker *>(object))
        return new SegmentedPickerAccessible(picker);
    if (object && object == qApp)
        return new ApplicationAccessible;
    // A window made of a plain widget (the panel, the settings window) would
    // be a nameless filler; to a screen reader it is a window with a title.
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->isWindow() && className == QLatin1String("QWidget"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

namespace Accessibility {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(createInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace Accessibility

} // namespace Widgets
