#include "widgets/segmentedpickeraccessible.h"

#include "widgets/segmentedpicker.h"

#include <QPointer>

namespace Widgets {

class SegmentedPickerAccessible::Segment final : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    Segment(SegmentedPicker *picker, int index)
        : m_picker(picker)
        , m_index(index)
    { }

    bool isValid() const override { return m_picker && m_index < m_picker->labels().size(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_picker ? m_picker->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_picker); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    void setText(QAccessible::Text, const QString &) override { }

    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && isValid() ? m_picker->labels().at(m_index) : QString();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.selectable = true;
        state.selected = m_picker->currentIndex() == m_index;
        state.focusable = true;
        state.focused = state.selected && m_picker->hasFocus();
        state.disabled = !m_picker->isEnabled();
        state.invisible = !m_picker->isVisible();
        return state;
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect local = m_picker->segmentRect(m_index);
        return QRect(m_picker->mapToGlobal(local.topLeft()), local.size());
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid() && m_picker->isEnabled())
            m_picker->choose(m_index);
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    int index() const { return m_index; }

private:
    QPointer<SegmentedPicker> m_picker;
    int m_index;
};

SegmentedPickerAccessible::SegmentedPickerAccessible(SegmentedPicker *picker)
    : QAccessibleWidget(picker, QAccessible::PageTabList)
{ }

SegmentedPickerAccessible::~SegmentedPickerAccessible()
{
    for (QAccessible::Id id : std::as_const(m_segments))
        QAccessible::deleteAccessibleInterface(id);
}

void SegmentedPickerAccessible::notifySelectionChanged(SegmentedPicker *picker, int previous, int current)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(picker);
    QAccessible::State changed;
    changed.selected = true;
    for (int index : {previous, current}) {
        if (QAccessibleInterface *segment = list->child(index)) {
            QAccessibleStateChangeEvent event(segment, changed);
            QAccessible::updateAccessibility(&event);
        }
    }
    if (picker->hasFocus()) {
        if (QAccessibleInterface *segment = list->child(current)) {
            QAccessibleEvent event(segment, QAccessible::Focus);
            QAccessible::updateAccessibility(&event);
        }
    }
}

SegmentedPicker *SegmentedPickerAccessible::picker() const
{
    return static_cast<SegmentedPicker *>(widget());
}

int SegmentedPickerAccessible::childCount() const
{
    return int(picker()->labels().size());
}

QAccessibleInterface *SegmentedPickerAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    // Segments have no object of their own, so the ids are kept here and the
    // same interface answers for a segment every time.
    while (m_segments.size() <= index)
        m_segments.append(QAccessible::registerAccessibleInterface(new Segment(picker(), int(m_segments.size()))));
    return QAccessible::accessibleInterface(m_segments.at(index));
}

int SegmentedPickerAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *segment = dynamic_cast<const Segment *>(child);
    return segment && segment->parent() == this ? segment->index() : -1;
}

QAccessibleInterface *SegmentedPickerAccessible::childAt(int x, int y) const
{
    const QPoint local = picker()->mapFromGlobal(QPoint(x, y));
    for (int index = 0; index < childCount(); ++index) {
        if (picker()->segmentRect(index).contains(local))
            return child(index);
    }
    return nullptr;
}

QAccessibleInterface *SegmentedPickerAccessible::focusChild() const
{
    return picker()->hasFocus() ? child(picker()->currentIndex()) : nullptr;
}

} // namespace Widgets
