// The brand drawings, checked by rendering them: the mark and the tray image.
#include "desktop/trayiconimage.h"
#include "ui/tolvanismark.h"

#include <QPainter>
#include <QTest>

namespace {

QImage render(QSizeF size, qreal scale, const std::function<void(QPainter &)> &draw)
{
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter);
    return image;
}

} // namespace

class TestDrawing final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mark_data()
    {
        QTest::addColumn<QSizeF>("space");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<qreal>("lineWidth");
        QTest::addColumn<bool>("tray");
        QTest::newRow("small: the floor") << QSizeF(10, 10) << qreal(10) << qreal(1.2) << false;
        QTest::newRow("18: in proportion") << QSizeF(18, 18) << qreal(10) << qreal(1.26) << false;
        QTest::newRow("100: in proportion") << QSizeF(100, 100) << qreal(1) << qreal(7) << false;
        QTest::newRow("wider space: a centred square") << QSizeF(30, 18) << qreal(4) << qreal(1.26) << false;
        QTest::newRow("tray image") << QSizeF(18, 18) << qreal(2) << qreal(1.26) << true;
    }

    // The mark, black unless told otherwise, has rounded corners; its outline's
    // width is measured across the straight middle of the left edge, where
    // nothing else is drawn, and the stroke lies inside the centred square.
    void mark()
    {
        QFETCH(QSizeF, space);
        QFETCH(qreal, scale);
        QFETCH(qreal, lineWidth);
        QFETCH(bool, tray);
        const QImage image = tray ? renderTrayIcon().pixmap(space.toSize(), scale).toImage()
                                  : render(space, scale, [&](QPainter &p) {
                                        TolvanisMark::paint(p, {{}, space}, Qt::black);
                                    });
        QCOMPARE(image.size(), (space * scale).toSize());
        const int y = image.height() / 2;
        const int left = qRound((space.width() - space.height()) / 2 * scale);
        QCOMPARE(qAlpha(image.pixel(left, 0)), 0);
        int run = 0;
        while (image.pixel(left + run, y) == qRgb(0, 0, 0))
            ++run;
        QVERIFY2(std::abs(run - lineWidth * scale) <= 1.0, qPrintable(QString::number(run)));
        QVERIFY(left == 0 ||
                (qAlpha(image.pixel(left - 2, y)) == 0 && qAlpha(image.pixel(image.width() - left + 1, y)) == 0));
    }
};

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
