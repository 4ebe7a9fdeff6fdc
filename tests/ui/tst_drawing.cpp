// Drawing is the behaviour here: symbols, continuous corners, the brand mark
// and logo, and the tray image are checked by rendering them to images.
#include "continuouscorners.h"
#include "trayiconimage.h"
#include "symbols.h"
#include "tolvanislogo.h"
#include "tolvanismark.h"

#include <QPainter>
#include <QPixmap>
#include <QTest>

namespace {

QImage renderImage(QSizeF logicalSize, qreal scale, const std::function<void(QPainter &)> &draw)
{
    QImage image((logicalSize * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    draw(painter);
    return image;
}

// Total coverage in pixels: the sum of alpha over the image.
qreal coverage(const QImage &image)
{
    qreal sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qAlpha(image.pixel(x, y)) / 255.0;
    return sum;
}

// Length of the run of opaque pixels that starts at (x, y) and goes right.
int opaqueRun(const QImage &image, int x, int y)
{
    int run = 0;
    while (x + run < image.width() && qAlpha(image.pixel(x + run, y)) > 127)
        ++run;
    return run;
}

} // namespace

class TestDrawing : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- symbols
    void symbol_data();
    void symbol();
    void symbolHoles_data();
    void symbolHoles();

    // --- continuous corners
    void roundedRectStaysInsideItsRectangle_data();
    void roundedRectStaysInsideItsRectangle();
    void unevenRadiiLeaveSquareCornersSquare();

    // --- mark, logo, tray image
    void markLineWidth_data();
    void markLineWidth();
    void markFitsASquareIntoOtherSpace();
    void logoFillsItsSquareAndInsetsTheMark();
    void statusBarIconIsA36PixelBlackMask();
};

void TestDrawing::symbol_data()
{
    QTest::addColumn<Symbol>("symbol");
    for (Symbol symbol : Symbols::all())
        QTest::newRow(qPrintable(Symbols::name(symbol))) << symbol;
}

// Each symbol is known by its name, lies on its grid, is drawn only in the
// caller's colour, and keeps its shape at any device pixel ratio.
void TestDrawing::symbol()
{
    QFETCH(Symbol, symbol);
    QCOMPARE(Symbols::fromName(Symbols::name(symbol)), symbol);

    const QRectF bounds = Symbols::path(symbol).boundingRect();
    QVERIFY(!bounds.isEmpty());
    QVERIFY2(QRectF(0, 0, Symbols::gridSize, Symbols::gridSize).contains(bounds), qPrintable(Symbols::name(symbol)));

    const QColor tint(200, 40, 120);
    const QImage one = Symbols::pixmap(symbol, 20, tint, 1.0).toImage();
    const QImage two = Symbols::pixmap(symbol, 20, tint, 2.0).toImage();
    QCOMPARE(two.width(), 2 * one.width());
    for (int y = 0; y < two.height(); ++y) {
        for (int x = 0; x < two.width(); ++x) {
            const QColor pixel = QColor::fromRgba(two.pixel(x, y));
            if (pixel.alpha() == 255)
                QCOMPARE(pixel.rgb(), tint.rgb());
        }
    }
    const qreal covered = coverage(one);
    QVERIFY(covered > 10);
    // Twice the pixel ratio covers four times the area.
    QVERIFY2(std::abs(coverage(two) - 4 * covered) < 0.05 * 4 * covered, qPrintable(QString::number(covered)));
}

void TestDrawing::symbolHoles_data()
{
    QTest::addColumn<Symbol>("symbol");
    QTest::addColumn<QPointF>("hole"); // on the grid
    QTest::newRow("exclamation mark in the triangle") << Symbol::ExclamationmarkTriangleFill << QPointF(12, 11);
    QTest::newRow("check mark in the disc") << Symbol::CheckmarkCircleFill << QPointF(11.2, 15.3);
    QTest::newRow("gear hub") << Symbol::Gearshape << QPointF(12, 12);
}

// Cut-outs stay cut out: a winding fill would close them.
void TestDrawing::symbolHoles()
{
    QFETCH(Symbol, symbol);
    QFETCH(QPointF, hole);
    const QPainterPath path = Symbols::path(symbol);
    QVERIFY(!path.contains(hole));
    QVERIFY(path.boundingRect().contains(hole));
}

void TestDrawing::roundedRectStaysInsideItsRectangle_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<qreal>("radius");
    QTest::newRow("card") << QRectF(0, 0, 312, 84) << qreal(8);
    QTest::newRow("radius beyond half the side") << QRectF(10, 10, 40, 20) << qreal(30);
}

void TestDrawing::roundedRectStaysInsideItsRectangle()
{
    QFETCH(QRectF, rect);
    QFETCH(qreal, radius);
    const QPainterPath path = ContinuousCorners::roundedRect(rect, radius);
    const QRectF bounds = path.boundingRect();
    QVERIFY(rect.adjusted(-0.01, -0.01, 0.01, 0.01).contains(bounds));
    // It touches all four sides (straight edges or at least their middles) ...
    QCOMPARE(bounds.width(), rect.width());
    QCOMPARE(bounds.height(), rect.height());
    QVERIFY(path.contains(rect.center()));
    // ... and cuts off all four corners.
    const qreal in = std::min(radius, std::min(rect.width(), rect.height()) / 2) * 0.1;
    for (QPointF corner : {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()}) {
        const QPointF inward = corner + QPointF(corner.x() < rect.center().x() ? in : -in,
                                                corner.y() < rect.center().y() ? in : -in);
        QVERIFY2(!path.contains(inward), qPrintable(QStringLiteral("%1,%2").arg(inward.x()).arg(inward.y())));
    }
    // Continuous: the curve leaves the edge further from the corner than a
    // circular arc of the same radius would.
    if (radius * 1.6 < std::min(rect.width(), rect.height()) / 2) {
        // Where a circular arc meets the straight edge, this curve has not
        // quite reached it yet.
        const QPointF nearEdge(rect.left() + 0.004 * radius, rect.top() + radius);
        QVERIFY(!path.contains(nearEdge));
    }
}

void TestDrawing::unevenRadiiLeaveSquareCornersSquare()
{
    const QRectF bar(0, 0, 100, 20);
    const QPainterPath path = ContinuousCorners::roundedRect(bar, {30, 30, 0, 0});
    QVERIFY(path.contains(QPointF(0.2, 19.8)));
    QVERIFY(path.contains(QPointF(99.8, 19.8)));
    QVERIFY(!path.contains(QPointF(1, 1)));
    QVERIFY(!path.contains(QPointF(99, 1)));
    QCOMPARE(path.boundingRect(), bar);
}

void TestDrawing::markLineWidth_data()
{
    QTest::addColumn<qreal>("side");
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<qreal>("lineWidth");
    QTest::newRow("10: the 1.2 floor") << qreal(10) << qreal(10) << qreal(1.2);
    QTest::newRow("18: 7 % of the side") << qreal(18) << qreal(10) << qreal(1.26);
    QTest::newRow("100: 7 % of the side") << qreal(100) << qreal(1) << qreal(7);
}

// The outline's width, measured on the straight middle of the left edge,
// where nothing else is drawn; the stroke lies inside the square.
void TestDrawing::markLineWidth()
{
    QFETCH(qreal, side);
    QFETCH(qreal, scale);
    QFETCH(qreal, lineWidth);
    QCOMPARE(TolvanisMark::geometry(side).lineWidth, lineWidth);
    const QImage image = renderImage(QSizeF(side, side), scale, [&](QPainter &painter) {
        TolvanisMark::paint(painter, QRectF(0, 0, side, side), Qt::black);
    });
    const int middle = image.height() / 2;
    QCOMPARE(qAlpha(image.pixel(0, middle)), 255);
    const int run = opaqueRun(image, 0, middle);
    QVERIFY2(std::abs(run - lineWidth * scale) <= 1.0, qPrintable(QString::number(run)));
}

void TestDrawing::markFitsASquareIntoOtherSpace()
{
    const QImage image = renderImage(QSizeF(30, 18), 4, [](QPainter &painter) {
        TolvanisMark::paint(painter, QRectF(0, 0, 30, 18), Qt::black);
    });
    const int middle = image.height() / 2;
    // An 18 × 18 square centred in 30 × 18: from x = 6 to x = 24.
    QCOMPARE(qAlpha(image.pixel(6 * 4 - 2, middle)), 0);
    QCOMPARE(qAlpha(image.pixel(6 * 4 + 1, middle)), 255);
    QCOMPARE(qAlpha(image.pixel(24 * 4 - 2, middle)), 255);
    QCOMPARE(qAlpha(image.pixel(24 * 4 + 1, middle)), 0);
    QCOMPARE(opaqueRun(image, 6 * 4, middle), qRound(TolvanisMark::geometry(18).lineWidth * 4));
}

void TestDrawing::logoFillsItsSquareAndInsetsTheMark()
{
    const qreal size = 50;
    const qreal scale = 4;
    const QImage image = renderImage(QSizeF(size, size), scale, [&](QPainter &painter) {
        TolvanisLogo::paint(painter, QRectF(0, 0, size, size));
    });
    const QColor brand = TolvanisLogo::brandColor();
    QCOMPARE(brand.rgb(), qRgb(74, 130, 250));
    const int middle = image.height() / 2;
    // The brand square reaches every edge in the middle, and not the corners.
    for (QPoint edge : {QPoint(0, middle), QPoint(image.width() - 1, middle), QPoint(middle, 0),
                        QPoint(middle, image.height() - 1)})
        QCOMPARE(QColor::fromRgba(image.pixel(edge)).rgb(), brand.rgb());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    // The white mark starts 0.16 × size in from the left.
    int firstWhite = 0;
    while (firstWhite < image.width() && image.pixel(firstWhite, middle) != qRgb(255, 255, 255))
        ++firstWhite;
    QVERIFY2(std::abs(firstWhite - 0.16 * size * scale) <= 1.5, qPrintable(QString::number(firstWhite)));
}

void TestDrawing::statusBarIconIsA36PixelBlackMask()
{
    const QIcon icon = renderTrayIcon();
    QVERIFY(icon.isMask());
    const QImage image = icon.pixmap(QSize(18, 18), 2.0).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(36, 36));
    int opaque = 0;
    for (int y = 0; y < 36; ++y) {
        for (int x = 0; x < 36; ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qAlpha(pixel) > 0)
                QCOMPARE(qRed(pixel) + qGreen(pixel) + qBlue(pixel), 0);
            opaque += qAlpha(pixel) == 255;
        }
    }
    QVERIFY(opaque > 200);
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0); // a rounded corner
    QCOMPARE(qAlpha(image.pixel(0, 18)), 255); // the outline's edge
}

QTEST_MAIN(TestDrawing)
#include "tst_drawing.moc"
