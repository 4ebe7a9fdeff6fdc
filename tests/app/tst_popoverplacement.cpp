#include "popoverplacement.h"

#include <QtTest>

using PopoverPlacement::gap;

class TestPopoverPlacement : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placement_data();
    void placement();
};

void TestPopoverPlacement::placement_data()
{
    QTest::addColumn<std::optional<QRect>>("icon");
    QTest::addColumn<std::optional<QPoint>>("pointer");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    QTest::addColumn<std::optional<QPoint>>("hostPoint");

    const QRect screen(0, 28, 1280, 772); // a top panel of 28 takes the first rows
    const QRect aboveBottomBar(0, 0, 1280, 772);

    QTest::newRow("centred under a top tray icon")
        << std::optional<QRect>(QRect(600, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(612 - 170, 26 + gap) << std::optional<QPoint>();
    QTest::newRow("right edge: kept inside")
        << std::optional<QRect>(QRect(1250, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(1280 - 340, 26 + gap) << std::optional<QPoint>();
    QTest::newRow("left edge: kept inside")
        << std::optional<QRect>(QRect(0, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(0, 26 + gap) << std::optional<QPoint>();
    QTest::newRow("bottom tray: opens upwards")
        << std::optional<QRect>(QRect(600, 776, 24, 24)) << std::optional<QPoint>() << QRect(0, 0, 1280, 772)
        << QPoint(612 - 170, 776 - gap - 430) << std::optional<QPoint>();
    QTest::newRow("no icon geometry: under the pointer")
        << std::optional<QRect>() << std::optional<QPoint>(QPoint(900, 10)) << screen
        << QPoint(900 - 170, 28) << std::optional<QPoint>();
    QTest::newRow("invalid icon geometry counts as none")
        << std::optional<QRect>(QRect()) << std::optional<QPoint>(QPoint(900, 10)) << screen
        << QPoint(730, 28) << std::optional<QPoint>();
    QTest::newRow("nothing known or the pointer stale: top right")
        << std::optional<QRect>() << std::optional<QPoint>() << screen
        << QPoint(1280 - 340 - gap, 28 + gap) << std::optional<QPoint>();
    QTest::newRow("screen smaller than the panel: top-left of it")
        << std::optional<QRect>(QRect(100, 0, 24, 24)) << std::optional<QPoint>() << QRect(50, 0, 300, 400)
        << QPoint(50, 0) << std::optional<QPoint>();
    QTest::newRow("second monitor to the right")
        << std::optional<QRect>(QRect(2500, 0, 24, 24)) << std::optional<QPoint>() << QRect(1280, 24, 1280, 1000)
        << QPoint(2560 - 340, 24 + gap) << std::optional<QPoint>();
    QTest::newRow("bottom-left corner icon")
        << std::optional<QRect>(QRect(0, 776, 24, 24)) << std::optional<QPoint>() << aboveBottomBar
        << QPoint(0, 776 - gap - 430) << std::optional<QPoint>();
    QTest::newRow("bottom-right corner icon")
        << std::optional<QRect>(QRect(1256, 776, 24, 24)) << std::optional<QPoint>() << aboveBottomBar
        << QPoint(1280 - 340, 776 - gap - 430) << std::optional<QPoint>();
    QTest::newRow("host point on a bottom bar: opens upwards, not off screen")
        << std::optional<QRect>() << std::optional<QPoint>() << aboveBottomBar << QPoint(1280 - 340, 772 - 430)
        << std::optional<QPoint>(QPoint(1270, 790));
    QTest::newRow("host point wins over the pointer")
        << std::optional<QRect>() << std::optional<QPoint>(QPoint(100, 500)) << screen << QPoint(900 - 170, 28)
        << std::optional<QPoint>(QPoint(900, 10));
    QTest::newRow("icon wins over the host point")
        << std::optional<QRect>(QRect(600, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(612 - 170, 26 + gap)
        << std::optional<QPoint>(QPoint(10, 10));
}

void TestPopoverPlacement::placement()
{
    QFETCH(std::optional<QRect>, icon);
    QFETCH(std::optional<QPoint>, pointer);
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    QFETCH(std::optional<QPoint>, hostPoint);

    const QPoint topLeft = PopoverPlacement::position(QSize(340, 430), icon, pointer, available, hostPoint);
    QCOMPARE(topLeft, expected);
    if (available.width() >= 340 && available.height() >= 430)
        QVERIFY(available.contains(QRect(topLeft, QSize(340, 430))));
}

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
