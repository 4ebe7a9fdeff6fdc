// The toolkit's controls driven as a user drives them, and its drawings
// checked on the pixels they leave.
#include "widgets/button.h"
#include "widgets/flipcontainer.h"
#include "widgets/focusring.h"
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
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
