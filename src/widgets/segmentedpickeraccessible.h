#pragma once

#include <QAccessibleWidget>

namespace Widgets {

class SegmentedPicker;

// A screen reader's view of a segmented picker: a tab list whose segments are
// selectable tabs, the chosen one selected; pressing a tab chooses it as a
// click does.
class SegmentedPickerAccessible final : public QAccessibleWidget
{
public:
    explicit SegmentedPickerAccessible(SegmentedPicker *picker);
    ~SegmentedPickerAccessible() override;

    // Tells assistive technology that the choice moved from one segment to another.
    static void notifySelectionChanged(SegmentedPicker *picker, int previous, int current);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    class Segment;

    SegmentedPicker *picker() const;

    mutable QList<QAccessible::Id> m_segments;
};

} // namespace Widgets
