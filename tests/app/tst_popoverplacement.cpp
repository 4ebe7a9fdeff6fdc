#include "app/popoverplacement.h"

#include <QtTest>

using PopoverPlacement::gap;
using Icon = std::optional<QRect>;
using Point = std::optional<QPoint>;

class TestPopoverPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data();
    void placement();
};

void TestPopoverPlacement::placement_data()
{
    QTest::addColumn<Icon>("icon");
    QTest::addColumn<Point>("pointer");
    QTest::addColumn<Point>("hostPoint");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");

    // A 340 x 430 panel; a top bar of 28 takes the first rows, or a bottom bar the last ones.
    const QRect belowTopBar(0, 28, 1280, 772);
    const QRect aboveBottomBar(0, 0, 1280, 772);
    const QRect topIcon(600, 2, 24, 24);
    QTest::newRow("centred under a top tray icon")
        << Icon(topIcon) << Point() << Point() << belowTopBar << QPoint(612 - 170, 26 + gap);
    QTest::newRow("right edge: kept inside")
        << Icon(QRect(1250, 2, 24, 24)) << Point() << Point() << belowTopBar << QPoint(1280 - 340, 26 + gap);
    QTest::newRow("left edge: kept inside")
        << Icon(QRect(0, 2, 24, 24)) << Point() << Point() << belowTopBar << QPoint(0, 26 + gap);
    QTest::newRow("bottom tray: opens upwards")
        << Icon(QRect(600, 776, 24, 24)) << Point() << Point() << aboveBottomBar << QPoint(612 - 170, 776 - gap - 430);
    QTest::newRow("no icon geometry: under the pointer")
        << Icon() << Point(QPoint(900, 10)) << Point() << belowTopBar << QPoint(900 - 170, 28);
    QTest::newRow("invalid icon geometry counts as none")
        << Icon(QRect()) << Point(QPoint(900, 10)) << Point() << belowTopBar << QPoint(730, 28);
    QTest::newRow("nothing known or the pointer stale: top right")
        << Icon() << Point() << Point() << belowTopBar << QPoint(1280 - 340 - gap, 28 + gap);
    QTest::newRow("screen smaller than the panel: top-left of it")
        << Icon(QRect(100, 0, 24, 24)) << Point() << Point() << QRect(50, 0, 300, 400) << QPoint(50, 0);
    QTest::newRow("second monitor to the right") << Icon(QRect(2500, 0, 24, 24)) << Point() << Point()
                                                 << QRect(1280, 24, 1280, 1000) << QPoint(2560 - 340, 24 + gap);
    QTest::newRow("host point on a bottom bar: opens upwards, not off screen")
        << Icon() << Point() << Point(QPoint(1270, 790)) << aboveBottomBar << QPoint(1280 - 340, 772 - 430);
    QTest::newRow("host point wins over the pointer")
        << Icon() << Point(QPoint(100, 500)) << Point(QPoint(900, 10)) << belowTopBar << QPoint(900 - 170, 28);
    QTest::newRow("icon wins over the host point")
        << Icon(topIcon) << Point() << Point(QPoint(10, 10)) << belowTopBar << QPoint(612 - 170, 26 + gap);
}

void TestPopoverPlacement::placement()
{
    QFETCH(Icon, icon);
    QFETCH(Point, pointer);
    QFETCH(Point, hostPoint);
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    QCOMPARE(PopoverPlacement::position(QSize(340, 430), icon, pointer, available, hostPoint), expected);
}

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
