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

    const QSize panel(340, 430);
    const QRect screen(0, 28, 1280, 772); // a top panel of 28 takes the first rows
    Q_UNUSED(panel);

    QTest::newRow("centred under a top tray icon")
        << std::optional<QRect>(QRect(600, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(612 - 170, 26 + gap);
    QTest::newRow("right edge: kept inside")
        << std::optional<QRect>(QRect(1250, 2, 24, 24)) << std::optional<QPoint>() << screen
        << QPoint(1280 - 340, 26 + gap);
    QTest::newRow("left edge: kept inside")
        << std::optional<QRect>(QRect(0, 2, 24, 24)) << std::optional<QPoint>() << screen << QPoint(0, 26 + gap);
    QTest::newRow("bottom tray: opens upwards")
        << std::optional<QRect>(QRect(600, 776, 24, 24)) << std::optional<QPoint>() << QRect(0, 0, 1280, 772)
        << QPoint(612 - 170, 776 - gap - 430);
    QTest::newRow("no icon geometry: under the pointer")
        << std::optional<QRect>() << std::optional<QPoint>(QPoint(900, 10)) << screen << QPoint(900 - 170, 28);
    QTest::newRow("invalid icon geometry counts as none")
        << std::optional<QRect>(QRect()) << std::optional<QPoint>(QPoint(900, 10)) << screen << QPoint(730, 28);
    QTest::newRow("nothing known: top right")
        << std::optional<QRect>() << std::optional<QPoint>() << screen << QPoint(1280 - 340 - gap, 28 + gap);
    QTest::newRow("screen smaller than the panel: top-left of it")
        << std::optional<QRect>(QRect(100, 0, 24, 24)) << std::optional<QPoint>() << QRect(50, 0, 300, 400)
        << QPoint(50, 0);
    QTest::newRow("second monitor to the right")
        << std::optional<QRect>(QRect(2500, 0, 24, 24)) << std::optional<QPoint>() << QRect(1280, 24, 1280, 1000)
        << QPoint(2560 - 340, 24 + gap);
}

void TestPopoverPlacement::placement()
{
    QFETCH(std::optional<QRect>, icon);
    QFETCH(std::optional<QPoint>, pointer);
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);

    const QPoint topLeft = PopoverPlacement::position(QSize(340, 430), icon, pointer, available);
    QCOMPARE(topLeft, expected);
    if (available.width() >= 340 && available.height() >= 430)
        QVERIFY(available.contains(QRect(topLeft, QSize(340, 430))));
}

QTEST_GUILESS_MAIN(TestPopoverPlacement)
#include "tst_popoverplacement.moc"
