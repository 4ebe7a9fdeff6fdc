#include "flipcontainer.h"
#include "segmentedpicker.h"
#include "spinner.h"
#include "titledcard.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

class TestToolkit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- segmented picker
    void pickerReportsOnlyUserChoices();
    void pickerKeys_data();
    void pickerKeys();

    // --- spinner
    void spinnerRunsOnlyWhileVisible();

    // --- card
    void cardSurface_data();
    void cardSurface();

    // --- flip
    void rotationProjection_data();
    void rotationProjection();
    void flipEndStates();
};

void TestToolkit::pickerReportsOnlyUserChoices()
{
    SegmentedPicker picker({QStringLiteral("系统离线"), QStringLiteral("LLM")});
    picker.resize(300, 24);
    QSignalSpy activated(&picker, &SegmentedPicker::activated);
    QSignalSpy changed(&picker, &SegmentedPicker::currentIndexChanged);
    picker.setCurrentIndex(1);
    QCOMPARE(activated.count(), 0);
    QCOMPARE(changed.count(), 1);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.segmentRect(0).center());
    QCOMPARE(picker.currentIndex(), 0);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.first().first().toInt(), 0);
    picker.setCurrentIndex(7); // out of range: ignored
    QCOMPARE(picker.currentIndex(), 0);
}

void TestToolkit::pickerKeys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("right") << 0 << int(Qt::Key_Right) << 1;
    QTest::newRow("right at the end") << 2 << int(Qt::Key_Right) << 2;
    QTest::newRow("left") << 2 << int(Qt::Key_Left) << 1;
    QTest::newRow("left at the start") << 0 << int(Qt::Key_Left) << 0;
}

void TestToolkit::pickerKeys()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, result);
    SegmentedPicker picker({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    picker.setCurrentIndex(start);
    QTest::keyClick(&picker, Qt::Key(key));
    QCOMPARE(picker.currentIndex(), result);
}

void TestToolkit::spinnerRunsOnlyWhileVisible()
{
    QWidget window;
    auto *spinner = new Spinner(&window);
    QVERIFY(!spinner->isAnimating());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(spinner->isAnimating());
    spinner->hide();
    QVERIFY(!spinner->isAnimating());
}

void TestToolkit::cardSurface_data()
{
    QTest::addColumn<bool>("accent");
    QTest::newRow("plain: text background") << false;
    QTest::newRow("accent: 8 % accent wash") << true;
}

// The surface is filled as the card's state says, and its outline is drawn
// over content that covers the whole surface.
void TestToolkit::cardSurface()
{
    QFETCH(bool, accent);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0, 100, 255));
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128));
    TitledCard card(QStringLiteral("输入"), TitledCard::compact());
    card.setPalette(palette);
    card.setAccent(accent);
    auto *content = new QWidget;
    content->setFixedHeight(60);
    card.bodyLayout()->addWidget(content);
    card.resize(200, card.sizeHint().height());
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));
    const QImage image = card.grab().toImage();
    const QRect surface = card.surface()->geometry();
    // The accent wash is translucent over the window background (240).
    const QColor expected = accent ? QColor(qRound(0.92 * 240), qRound(0.92 * 240 + 0.08 * 100), qRound(0.92 * 240 + 0.08 * 255))
                                   : QColor(Qt::white);
    const QColor centre = image.pixelColor(surface.center());
    QVERIFY2(std::abs(centre.red() - expected.red()) <= 2 && std::abs(centre.green() - expected.green()) <= 2
                 && std::abs(centre.blue() - expected.blue()) <= 2,
             qPrintable(centre.name()));
    // The outline, on the middle of the left edge, is darker than the fill
    // (plain) or bluer than it (accent).
    const QColor edge = image.pixelColor(surface.left(), surface.center().y());
    if (accent)
        QVERIFY(edge.red() < centre.red() - 20);
    else
        QVERIFY(edge.lightness() < centre.lightness() - 20);
}

void TestToolkit::rotationProjection_data()
{
    QTest::addColumn<qreal>("degrees");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<QPointF>("expected");
    // A 200 × 100 face: centre (100, 50), eye 200 away.
    QTest::newRow("0°: identity") << qreal(0) << QPointF(10, 20) << QPointF(10, 20);
    QTest::newRow("centre stays") << qreal(45) << QPointF(100, 50) << QPointF(100, 50);
    QTest::newRow("90°: edge-on") << qreal(90) << QPointF(180, 20) << QPointF(100, 50 - 30 * 200 / 120.0);
    QTest::newRow("-90°: edge-on") << qreal(-90) << QPointF(0, 50) << QPointF(100, 50);
}

void TestToolkit::rotationProjection()
{
    QFETCH(qreal, degrees);
    QFETCH(QPointF, point);
    QFETCH(QPointF, expected);
    const QPointF mapped = FlipContainer::rotation(degrees, 200, 100).map(point);
    QVERIFY2(std::abs(mapped.x() - expected.x()) < 1e-6 && std::abs(mapped.y() - expected.y()) < 1e-6,
             qPrintable(QStringLiteral("%1, %2").arg(mapped.x()).arg(mapped.y())));
}

void TestToolkit::flipEndStates()
{
    FlipContainer flip;
    auto *front = new QLabel(QStringLiteral("front"));
    auto *back = new QLabel(QStringLiteral("back"));
    flip.addFace(front);
    flip.addFace(back);
    flip.resize(200, 100);
    flip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&flip));
    QCOMPARE(flip.currentFace(), front);
    QSignalSpy finished(&flip, &FlipContainer::flipFinished);
    flip.flipTo(back);
    QVERIFY(flip.isFlipping());
    // While it turns, neither live face is shown; the container paints them.
    QVERIFY(!front->isVisible());
    QVERIFY(!back->isVisible());
    QVERIFY(finished.wait(FlipContainer::durationMs * 3));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().value<QWidget *>(), back);
    QVERIFY(back->isVisible());
    QVERIFY(!front->isVisible());

    // A second flip during a turn finishes the first at once.
    flip.flipTo(front);
    flip.flipTo(back);
    QCOMPARE(finished.count(), 2);
    QTRY_COMPARE(finished.count(), 3);
    QCOMPARE(flip.currentFace(), back);
    QVERIFY(back->isVisible());
    QVERIFY(!front->isVisible());
}

QTEST_MAIN(TestToolkit)
#include "tst_toolkit.moc"
