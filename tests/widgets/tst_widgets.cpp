// The toolkit's controls driven as a user drives them, and its drawings
// checked on the pixels they leave.
#include "widgets/button.h"
#include "widgets/flipcontainer.h"
#include "widgets/focusring.h"
#include "widgets/regionselector.h"
#include "widgets/segmentedpicker.h"
#include "widgets/symbols.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace Widgets;

class TestWidgets final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void picker_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key"); // 0: a click on the first segment
        QTest::addColumn<int>("chosen");
        QTest::newRow("click") << 1 << 0 << 0;
        QTest::newRow("right") << 0 << int(Qt::Key_Right) << 1;
        QTest::newRow("right at the end") << 2 << int(Qt::Key_Right) << 2;
        QTest::newRow("left") << 2 << int(Qt::Key_Left) << 1;
        QTest::newRow("left at the start") << 0 << int(Qt::Key_Left) << 0;
    }

    // A choice made in code is not announced as the user's; the user's is, once.
    void picker()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, chosen);
        SegmentedPicker picker({QStringLiteral("系统离线"), QStringLiteral("LLM"), QStringLiteral("c")});
        picker.resize(300, 24);
        QSignalSpy activated(&picker, &SegmentedPicker::activated);
        picker.setCurrentIndex(start);
        key ? QTest::keyClick(&picker, Qt::Key(key))
            : QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.segmentRect(0).center());
        picker.setCurrentIndex(7);
        QCOMPARE(picker.currentIndex(), chosen);
        QCOMPARE(activated, QList<QVariantList>{{chosen}});
    }

    // Only focus from the keyboard shows the ring; keypad Enter presses a
    // button as Return does.
    void buttonFromTheKeyboard()
    {
        Button button(Button::Kind::Bordered, QStringLiteral("保存"));
        QSignalSpy clicked(&button, &Button::clicked);
        button.show();
        button.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&button));
        for (Qt::FocusReason reason : {Qt::MouseFocusReason, Qt::TabFocusReason}) {
            button.clearFocus();
            button.setFocus(reason);
            QCOMPARE(FocusRing::isVisible(&button), reason == Qt::TabFocusReason);
        }
        QTest::keyClick(&button, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_COMPARE(clicked.count(), 1);
    }

    // While it turns, neither live face is shown; a second flip finishes the
    // turn under way at once.
    void flip()
    {
        FlipContainer flip;
        QLabel *front = new QLabel, *back = new QLabel;
        flip.addFace(front);
        flip.addFace(back);
        flip.show();
        QSignalSpy finished(&flip, &FlipContainer::flipFinished);
        flip.flipTo(back);
        QVERIFY(flip.isFlipping() && !front->isVisible() && !back->isVisible());
        flip.flipTo(front);
        QCOMPARE(finished.count(), 1);
        QTRY_COMPARE(finished.count(), 2);
        QVERIFY(front->isVisible() && !back->isVisible());
    }

    void symbol_data()
    {
        QTest::addColumn<Symbol>("symbol");
        for (Symbol symbol : Symbols::all())
            QTest::newRow(qPrintable(Symbols::name(symbol))) << symbol;
    }

    // Each symbol is drawn only in the caller's colour, and
    // covers four times the pixels at twice the ratio.
    void symbol()
    {
        QFETCH(Symbol, symbol);
        qreal coverage[2] = {0, 0};
        for (int ratio : {1, 2}) {
            const QImage image = Symbols::pixmap(symbol, 20, QColor(200, 40, 120), ratio).toImage();
            for (int i = 0; i < image.width() * image.height(); ++i) {
                const QRgb pixel = image.pixel(i % image.width(), i / image.width());
                coverage[ratio - 1] += qAlpha(pixel) / 255.0;
                QVERIFY(qAlpha(pixel) < 255 || pixel == qRgb(200, 40, 120));
            }
        }
        QVERIFY(coverage[0] > 10 && std::abs(coverage[1] - 4 * coverage[0]) < 0.2 * coverage[0]);
    }

    void regionSelector_data()
    {
        QTest::addColumn<qreal>("scale"); // picture pixels per widget pixel
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to"); // null: right click; (-1, -1): Escape
        QTest::addColumn<QRect>("picked"); // in the picture; null: nothing, (-1, -1): cancelled
        const QRect cancelled(-1, -1, 1, 1);
        QTest::newRow("drag") << 1.0 << QPoint(10, 10) << QPoint(50, 30) << QRect(10, 10, 40, 20);
        QTest::newRow("upwards to the left, HiDPI") << 2.0 << QPoint(50, 30) << QPoint(10, 10) << QRect(20, 20, 80, 40);
        QTest::newRow("fractional scale") << 1.5 << QPoint(11, 11) << QPoint(31, 21) << QRect(16, 16, 31, 16);
        QTest::newRow("past the edge") << 1.0 << QPoint(90, 50) << QPoint(300, 300) << QRect(90, 50, 30, 30);
        QTest::newRow("click without a drag") << 1.0 << QPoint(40, 40) << QPoint(41, 41) << QRect();
        QTest::newRow("right click") << 1.0 << QPoint(40, 40) << QPoint() << cancelled;
        QTest::newRow("escape while dragging") << 1.0 << QPoint(10, 10) << QPoint(-1, -1) << cancelled;
    }

    // The pixels under the dragged rectangle, at the picture's own density.
    void regionSelector()
    {
        QFETCH(qreal, scale);
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        QFETCH(QRect, picked);
        QImage picture(qRound(120 * scale), qRound(80 * scale), QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x, y, 0));
        RegionSelector selector(picture);
        selector.resize(120, 80);
        selector.show();
        QVERIFY(QTest::qWaitForWindowExposed(&selector));
        QSignalSpy selected(&selector, &RegionSelector::selected);
        QSignalSpy cancelled(&selector, &RegionSelector::cancelled);
        QTest::mousePress(&selector, to.isNull() ? Qt::RightButton : Qt::LeftButton, {}, from);
        if (to == QPoint(-1, -1)) {
            QTest::keyClick(&selector, Qt::Key_Escape);
        } else if (!to.isNull()) {
            QMouseEvent move(QEvent::MouseMove, to, selector.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&selector, &move);
            QTest::mouseRelease(&selector, Qt::LeftButton, {}, to);
        }
        QCOMPARE(cancelled.size(), picked.topLeft() == QPoint(-1, -1) ? 1 : 0);
        QCOMPARE(selected.size(), picked.isValid() && picked.x() >= 0 ? 1 : 0);
        if (selected.size()) {
            const QImage region = selected.first().first().value<QImage>();
            QCOMPARE(QRect(QPoint(qRed(region.pixel(0, 0)), qGreen(region.pixel(0, 0))), region.size()), picked);
        }
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
